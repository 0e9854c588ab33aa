#include "archive/central/central_text.h"

#include <cstdio>
#include <utility>

#include "archive/search.h"
#include "output/text_helpers.h"
#include "output/well_formed_xml.h"

namespace {

constexpr std::string_view kNulSymbol = "\u2400";
constexpr std::string_view kReplacement = "\uFFFD";

}  // namespace

std::string DbText(std::string_view text) {
  std::string valid;
  valid.reserve(text.size());
  for (size_t at = 0; at < text.size();) {
    const size_t length = Utf8SequenceLength(text, at);
    if (length == 0) {
      valid.append(kReplacement);
      ++at;
    } else if (text[at] == '\0') {
      valid.append(kNulSymbol);
      ++at;
    } else {
      valid.append(text.substr(at, length));
      at += length;
    }
  }
  return valid;
}

std::string PublishedText(std::string_view document) {
  std::string text = CodePageToUtf8(PrintedText(document));
  if (!text.empty()) text.pop_back();  // the last line's LF
  return DbText(text);
}

std::string SqlTime(const LocalTime& t) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  return text;
}

LocalTime ParseSqlTime(std::string_view text) {
  LocalTime t;
  std::sscanf(std::string(text).c_str(), "%d-%d-%d %d:%d:%d", &t.year, &t.month, &t.day, &t.hour,
              &t.minute, &t.second);
  return t;
}

std::vector<std::string_view> TextLines(std::string_view text) {
  std::vector<std::string_view> lines;
  for (size_t start = 0;;) {
    const size_t end = text.find('\n', start);
    lines.push_back(text.substr(start, end - start));
    if (end == std::string_view::npos) return lines;
    start = end + 1;
  }
}
