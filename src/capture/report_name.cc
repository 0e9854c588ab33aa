#include "capture/report_name.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string_view>

#include "util/trim.h"

namespace {

constexpr int kMaxLinesExamined = 5;
constexpr size_t kMaxMadeUpLength = 16;
constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kBlanks = " ";

struct Journal {
  std::string_view title;
  std::string_view name;
};

// Searched in this order: when a line holds two titles, the earlier entry wins.
constexpr std::array<Journal, 5> kJournals{{
    {"PROCESS ALARM JOURNAL", "ProcessAlarmJournal"},
    {"SYSTEM ERROR JOURNAL", "SystemErrorJournal"},
    {"SYSTEM MAINTENANCE JOURNAL", "SystemMaintenanceJournal"},
    {"OPERATOR MESSAGE JOURNAL", "OperatorMessageJournal"},
    {"OPERATOR PROCESS CHANGE JOURNAL", "OperatorProcessChangeJournal"},
}};

// The first non-blank line among the first five CR LF-terminated lines,
// without its outer blanks.
std::optional<std::string_view> FindTitleLine(std::string_view text) {
  size_t position = 0;
  for (int line = 0; line < kMaxLinesExamined; ++line) {
    const size_t line_end = text.find(kLineEnd, position);
    if (line_end == std::string_view::npos) return std::nullopt;
    const std::string_view title = Trim(text.substr(position, line_end - position), kBlanks);
    if (!title.empty()) return title;
    position = line_end + kLineEnd.size();
  }
  return std::nullopt;
}

bool IsAsciiLetterOrDigit(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

// Up to 16 characters of the line without blanks, each character that is not
// an ASCII letter or digit (bytes above 127 too) made "_".
std::string MadeUpName(std::string_view title_line) {
  std::string name;
  for (char c : title_line.substr(0, kMaxMadeUpLength)) {
    if (kBlanks.find(c) == std::string_view::npos) name += IsAsciiLetterOrDigit(c) ? c : '_';
  }
  return name;
}

}  // namespace

std::string GetReportName(const std::string& text) {
  const std::optional<std::string_view> title_line = FindTitleLine(text);
  if (!title_line) return "";
  const auto journal = std::find_if(kJournals.begin(), kJournals.end(), [&](const Journal& j) {
    return title_line->find(j.title) != std::string_view::npos;
  });
  if (journal != kJournals.end()) return std::string(journal->name);
  return MadeUpName(*title_line);
}
