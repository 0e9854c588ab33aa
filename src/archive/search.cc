#include "archive/search.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <regex>
#include <string_view>
#include <tuple>
#include <vector>

#include "archive/archive.h"
#include "output/text_helpers.h"
#include "platform/file_system.h"

namespace {

constexpr std::string_view kLineTag = "<Line>";

auto Day(const LocalTime& t) { return std::tie(t.year, t.month, t.day); }

// The character an entity body ("amp", "#38", "#x26") stands for; 0 when
// it is none of those.
char EntityCharacter(std::string_view body) {
  static constexpr std::pair<std::string_view, char> kNamed[] = {
      {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
  for (const auto& [name, c] : kNamed) {
    if (body == name) return c;
  }
  if (body.size() < 2 || body[0] != '#') return 0;
  const bool hex = body[1] == 'x';
  const std::string digits(body.substr(hex ? 2 : 1));
  char* end = nullptr;
  const unsigned long code = std::strtoul(digits.c_str(), &end, hex ? 16 : 10);
  return !digits.empty() && *end == '\0' && code > 0 && code < 256 ? static_cast<char>(code) : 0;
}

// The printed line that a Line element's text stands for: entities resolved,
// without the line break that opens the first element.
std::string PrintedLine(std::string_view text) {
  if (text.starts_with("\r\n")) text.remove_prefix(2);
  std::string line;
  line.reserve(text.size());
  for (size_t at = 0; at < text.size();) {
    const size_t amp = text.find('&', at);
    line.append(text.substr(at, amp - at));
    if (amp == std::string_view::npos) break;
    const size_t semicolon = text.find(';', amp);
    const char c = semicolon == std::string_view::npos
                       ? 0
                       : EntityCharacter(text.substr(amp + 1, semicolon - amp - 1));
    line += c != 0 ? c : '&';
    at = c != 0 ? semicolon + 1 : amp + 1;
  }
  return line;
}

// The text of the Line element whose start tag begins at open.
std::string_view LineText(std::string_view document, size_t open) {
  const size_t start = open + kLineTag.size();
  return document.substr(start, document.find('<', start) - start);
}

// Finds the matching printed lines of one report file's document.
class LineMatcher {
 public:
  explicit LineMatcher(const SearchQuery& query)
      : query_(query),
        needle_(Utf8ToCodePage(query.text)),
        escaped_(EscapeXml(needle_)),
        searcher_(escaped_.begin(), escaped_.end()) {
    if (query.regex) regex_.assign(query.text, std::regex::ECMAScript | std::regex::optimize);
  }

  // Calls emit for each matching line of document, in order.
  void Scan(std::string_view document, const std::function<void(std::string&&)>& emit) const {
    if (query_.regex || query_.text.empty()) return ScanEveryLine(document, emit);
    // A printed line holds the text only where the file holds its escaped
    // form: only lines around such places are decoded and compared.
    size_t checked = std::string_view::npos;
    for (auto at = document.begin();;) {
      at = std::search(at, document.end(), searcher_);
      if (at == document.end()) return;
      const size_t hit = static_cast<size_t>(at - document.begin());
      const size_t open = document.rfind(kLineTag, hit);
      ++at;
      if (open == std::string_view::npos || open == checked) continue;
      checked = open;
      const std::string line = PrintedLine(LineText(document, open));
      if (line.find(needle_) != std::string::npos) emit(CodePageToUtf8(line));
    }
  }

 private:
  void ScanEveryLine(std::string_view document,
                     const std::function<void(std::string&&)>& emit) const {
    ForEachPrintedLine(document, [&](std::string&& line) {
      if (!query_.regex || std::regex_search(line, regex_)) emit(std::move(line));
    });
  }

  const SearchQuery& query_;
  const std::string needle_;  // the text in the reports' code page
  const std::string escaped_;
  const std::boyer_moore_horspool_searcher<std::string::const_iterator> searcher_;
  std::regex regex_;
};

bool Wanted(const SearchQuery& query, const ReportPath& report) {
  return (query.journal.empty() || report.name == query.journal) &&
         Day(report.time) >= Day(query.from) && Day(report.time) <= Day(query.to);
}

// Searches one month folder, newest report first; false once on_hit asked
// to stop.
bool SearchMonth(const MonthFolder& month, const SearchQuery& query, const LineMatcher& matcher,
                 const std::function<bool(const SearchHit&)>& on_hit) {
  const std::vector<ReportPath> reports =
      ReportFiles(month, ListMonthFiles(month.path).xml, nullptr);
  std::string document, ignored;
  bool go_on = true;
  for (auto report = reports.rbegin(); go_on && report != reports.rend(); ++report) {
    if (!Wanted(query, *report) ||
        !ReadWholeFile(JoinPath(month.path, report->Xml()), &document, &ignored)) {
      continue;
    }
    SearchHit hit{FormatTimestamp(report->time, TextEncoding::kUtf8),
                  month.relative + "/" + IndexEntryOf(*report).file, ""};
    matcher.Scan(document, [&](std::string&& line) {
      hit.line = std::move(line);
      go_on = go_on && on_hit(hit);
    });
  }
  return go_on;
}

}  // namespace

void ForEachPrintedLine(std::string_view document,
                        const std::function<void(std::string&&)>& on_line) {
  for (size_t open = document.find(kLineTag); open != std::string_view::npos;
       open = document.find(kLineTag, open + 1)) {
    on_line(CodePageToUtf8(PrintedLine(LineText(document, open))));
  }
}

bool ParseDay(const std::string& day, LocalTime* t) {
  static const std::regex kDay(R"((\d{4})-(\d{2})-(\d{2}))");
  std::smatch parts;
  if (!std::regex_match(day, parts, kDay)) return false;
  *t = LocalTime{std::stoi(parts[1]), std::stoi(parts[2]), std::stoi(parts[3])};
  return t->month >= 1 && t->month <= 12 && t->day >= 1 && t->day <= 31;
}

bool SearchArchive(const std::string& data_folder, const SearchQuery& query,
                   const std::function<bool(const SearchHit&)>& on_hit, std::string* error) {
  std::unique_ptr<LineMatcher> matcher;
  try {
    matcher = std::make_unique<LineMatcher>(query);
  } catch (const std::regex_error& e) {
    *error = "invalid regular expression '" + query.text + "': " + e.what();
    return false;
  }
  for (const MonthFolder& month : ListMonths(data_folder)) {
    const LocalTime first{month.year, month.month, 1}, last{month.year, month.month, 31};
    if (Day(last) < Day(query.from) || Day(first) > Day(query.to)) continue;
    if (!SearchMonth(month, query, *matcher, on_hit)) break;
  }
  return true;
}
