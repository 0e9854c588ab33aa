#include "archive/search.h"

#include <re2/filtered_re2.h>
#include <re2/re2.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string_view>
#include <tuple>
#include <vector>

#include "archive/archive.h"
#include "archive/text_index.h"
#include "output/report_index.h"
#include "output/report_path.h"
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

// Calls visit(open) for the start tag of every Line element of document.
template <typename Visit>
void ForEachLine(std::string_view document, Visit visit) {
  for (size_t open = document.find(kLineTag); open != std::string_view::npos;
       open = document.find(kLineTag, open + 1)) {
    visit(open);
  }
}

bool Wanted(const SearchQuery& query, const ReportPath& report) {
  return (query.journal.empty() || report.name == query.journal) &&
         Day(report.time) >= Day(query.from) && Day(report.time) <= Day(query.to);
}

bool Stopped(const SearchQuery& query) { return query.stop != nullptr && *query.stop; }

// Reads one report and passes its matching lines on; false once on_report
// asked to stop.
bool SearchReport(const std::string& data_folder, const MonthFolder& month,
                  const ReportPath& report, const LineMatcher& matcher,
                  const std::function<bool(const ReportHits&)>& on_report) {
  const std::string path = JoinPath(month.path, report.Xml());
  std::string document, ignored;
  if (!ReadableInside(data_folder, path) || !ReadWholeFile(path, &document, &ignored)) return true;
  ReportHits hits{FormatTimestamp(report.time, TextEncoding::kUtf8),
                  month.relative + "/" + IndexEntryOf(report).file,
                  report.name,
                  {}};
  matcher.Scan(document, [&](std::string&& line, std::vector<Mark>&& marks) {
    hits.lines.push_back({hits.timestamp, hits.file, std::move(line), std::move(marks)});
  });
  hits.line_count = hits.lines.size();
  return hits.lines.empty() || on_report(hits);
}

// The reports of month to read, newest first: the index's candidates when
// the month is indexed as it is now, else every report of its folder.
std::vector<ReportPath> MonthReports(const MonthFolder& month, bool indexed,
                                     const std::vector<TextIndex::Report>& candidates) {
  std::vector<ReportPath> reports;
  if (!indexed) {
    reports = ReportFiles(month, ListMonthFiles(month.path).xml, nullptr);
    std::reverse(reports.begin(), reports.end());
    return reports;
  }
  const std::string prefix = month.relative + "/";
  ReportPath report;
  for (const TextIndex::Report& candidate : candidates) {
    if (candidate.file.starts_with(prefix) &&
        ParseReportPath(candidate.file.substr(prefix.size()), month.year, TextEncoding::kLocal,
                        &report)) {
      reports.push_back(report);
    }
  }
  return reports;
}

}  // namespace

struct LineMatcher::Prefilter {
  re2::FilteredRE2 filter{3};
};

LineMatcher::LineMatcher() = default;
LineMatcher::~LineMatcher() = default;

bool LineMatcher::Compile(const SearchQuery& query, std::string* error) {
  text_ = query.text;
  escaped_ = EscapeXml(Utf8ToCodePage(text_));
  atoms_.clear();
  if (!query.regex) {
    if (text_.size() >= 3) atoms_.push_back(text_);
    return true;
  }
  re2::RE2::Options options;
  options.set_log_errors(false);
  regex_ = std::make_unique<re2::RE2>(text_, options);
  if (!regex_->ok()) {
    *error = "invalid regular expression '" + text_ + "': " + regex_->error();
    return false;
  }
  prefilter_ = std::make_unique<Prefilter>();
  int id = 0;
  prefilter_->filter.Add(text_, options, &id);
  prefilter_->filter.Compile(&atoms_);
  std::vector<int> without_atoms;
  prefilter_->filter.AllPotentials({}, &without_atoms);
  if (!without_atoms.empty()) atoms_.clear();
  return true;
}

bool LineMatcher::MayMatch(const std::vector<int>& held_atoms) const {
  if (!regex_) return held_atoms.size() == atoms_.size();
  std::vector<int> potential;
  prefilter_->filter.AllPotentials(held_atoms, &potential);
  return !potential.empty();
}

bool LineMatcher::Find(std::string_view line, std::vector<Mark>* marks) const {
  marks->clear();
  if (!regex_) {
    if (text_.empty()) return true;
    for (size_t at = line.find(text_); at != std::string_view::npos;
         at = line.find(text_, at + text_.size())) {
      marks->emplace_back(at, text_.size());
    }
    return !marks->empty();
  }
  re2::StringPiece match;
  for (size_t at = 0; at <= line.size() &&
                      regex_->Match(line, at, line.size(), re2::RE2::UNANCHORED, &match, 1);) {
    const size_t start = static_cast<size_t>(match.data() - line.data());
    if (!match.empty()) marks->emplace_back(start, match.size());
    at = start + std::max<size_t>(match.size(), 1);
    if (marks->empty() && match.empty()) return true;  // matches, marks nothing
  }
  return !marks->empty();
}

void LineMatcher::Scan(std::string_view document,
                       const std::function<void(std::string&&, std::vector<Mark>&&)>& emit) const {
  std::vector<Mark> marks;
  auto check = [&](size_t open) {
    std::string line = CodePageToUtf8(PrintedLine(LineText(document, open)));
    if (Find(line, &marks)) emit(std::move(line), std::move(marks));
  };
  if (regex_ || text_.empty()) return ForEachLine(document, check);
  // A printed line holds the text only where the file holds its escaped
  // form: only lines around such places are decoded and compared.
  size_t checked = std::string_view::npos;
  for (size_t hit = document.find(escaped_); hit != std::string_view::npos;
       hit = document.find(escaped_, hit + 1)) {
    const size_t open = document.rfind(kLineTag, hit);
    if (open == std::string_view::npos || open == checked) continue;
    checked = open;
    check(open);
  }
}

std::string PrintedText(std::string_view document) {
  std::string text;
  text.reserve(document.size());
  ForEachLine(document, [&](size_t open) {
    text += PrintedLine(LineText(document, open));
    text += '\n';
  });
  return text;
}

bool ParseDay(const std::string& day, LocalTime* t) {
  static const re2::RE2 kDay(R"((\d{4})-(\d{2})-(\d{2}))");
  *t = LocalTime{};
  if (!re2::RE2::FullMatch(day, kDay, &t->year, &t->month, &t->day)) return false;
  return t->month >= 1 && t->month <= 12 && t->day >= 1 && t->day <= 31;
}

bool SearchReports(const std::string& data_folder, const SearchQuery& query,
                   const std::function<bool(const ReportHits&)>& on_report, std::string* note,
                   std::string* error) {
  LineMatcher matcher;
  if (!matcher.Compile(query, error)) return false;
  TextIndex index;
  std::string index_error;
  std::vector<std::string> current;
  std::vector<TextIndex::Report> candidates;
  const bool usable =
      index.Open(data_folder, false, &index_error) &&
      index.Candidates(
          matcher.atoms(), [&](const std::vector<int>& held) { return matcher.MayMatch(held); },
          query.from, query.to, &candidates, &index_error);
  if (usable) current = index.CurrentMonths();
  size_t read_in_full = 0;
  for (const MonthFolder& month : ListMonths(data_folder)) {
    const LocalTime first{month.year, month.month, 1}, last{month.year, month.month, 31};
    if (Day(last) < Day(query.from) || Day(first) > Day(query.to)) continue;
    if (!InsideFolder(data_folder, month.path)) continue;
    const bool indexed = std::find(current.begin(), current.end(), month.relative) != current.end();
    read_in_full += indexed ? 0 : 1;
    for (const ReportPath& report : MonthReports(month, indexed, candidates)) {
      if (Stopped(query)) return true;
      if (!Wanted(query, report)) continue;
      if (!SearchReport(data_folder, month, report, matcher, on_report)) return true;
    }
  }
  if (read_in_full > 0 && note != nullptr) {
    *note = !usable ? "The search index is not ready (" + index_error + "): every report was read."
                    : std::to_string(read_in_full) +
                          " month(s) not yet in the search index were read in full.";
  }
  return true;
}
