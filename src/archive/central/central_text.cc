#include "archive/central/central_text.h"

#include <utility>

#include "archive/search.h"

namespace {

constexpr std::string_view kNulSymbol = "\u2400";

// line's bytes, read in the code page the report was written in, as UTF-8.
void AppendUtf8(std::string_view line, std::string* text) {
  for (unsigned char byte : line) {
    if (byte == 0) {
      text->append(kNulSymbol);
    } else if (byte < 0x80) {
      *text += static_cast<char>(byte);
    } else {
      *text += static_cast<char>(0xC0 | (byte >> 6));
      *text += static_cast<char>(0x80 | (byte & 0x3F));
    }
  }
}

}  // namespace

std::string PrintedText(std::string_view document) {
  std::string text;
  bool first = true;
  ForEachPrintedLine(document, [&](std::string&& line) {
    if (!std::exchange(first, false)) text += '\n';
    AppendUtf8(line, &text);
  });
  return text;
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
