#ifndef QUELLOR_ARCHIVE_SEARCH_H_
#define QUELLOR_ARCHIVE_SEARCH_H_

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/clock.h"

namespace re2 {
class RE2;
}

// What to look for in the printed lines of an archive's reports.
struct SearchQuery {
  std::string text;  // UTF-8: a literal text, or a regular expression (RE2 syntax)
  bool regex = false;
  LocalTime from{0, 1, 1};     // reports filed on or after this day
  LocalTime to{9999, 12, 31};  // reports filed on or before this day
  std::string journal;         // a report name; "" for every report
  // When set (from another thread), the search ends at the next report.
  const std::atomic<bool>* stop = nullptr;
};

// A part of a line: its first byte and length.
using Mark = std::pair<size_t, size_t>;

// A printed line that matched, in UTF-8.
struct SearchHit {
  std::string timestamp;    // the report's time stamp, "dd mmm yyyy  hh:nn:ss"
  std::string file;         // the report's .xml file, "2005/Jan/Name_24Jan05_195034.xml"
  std::string line;         // the line as printed (XML entities resolved)
  std::vector<Mark> marks;  // where in line the query matched
};

// The lines of one report that matched.
struct ReportHits {
  std::string timestamp, file, name;  // as in SearchHit; name: the journal
  std::vector<SearchHit> lines;
  size_t line_count = 0;  // lines that matched (lines may be cut short later)
};

// Finds the query's matches in printed lines.
class LineMatcher {
 public:
  LineMatcher();
  ~LineMatcher();

  // Takes query's text (a copy); false with the reason in *error when it is
  // a regular expression that is not valid.
  bool Compile(const SearchQuery& query, std::string* error);

  // True when line (UTF-8) matches; *marks: where, left to right (an expression
  // that matches the empty text marks nothing).
  bool Find(std::string_view line, std::vector<Mark>* marks) const;

  // Calls emit(line, marks) for each matching line of an .xml report
  // document (in the reports' code page), in order; line in UTF-8.
  void Scan(std::string_view document,
            const std::function<void(std::string&&, std::vector<Mark>&&)>& emit) const;

  // The texts the full-text index can look for (3 characters or more), and
  // whether a report holding those of them at the given indexes may match.
  // No atoms: every report may match.
  const std::vector<std::string>& atoms() const { return atoms_; }
  bool MayMatch(const std::vector<int>& held_atoms) const;

 private:
  std::string text_, escaped_;
  std::unique_ptr<re2::RE2> regex_;
  struct Prefilter;
  std::unique_ptr<Prefilter> prefilter_;
  std::vector<std::string> atoms_;
};

// Every printed line of an .xml report document, each ended by "\n", in
// the document's code page.
std::string PrintedText(std::string_view document);

// Parses "yyyy-mm-dd" into a day; false when day is not such a date.
bool ParseDay(const std::string& day, LocalTime* t);

// Calls on_report for every report of data_folder with printed lines that
// match query: newest month first, within a month newest report first, the
// lines in print order. Reports are found through the full-text index where
// it is up to date and by reading every report elsewhere; *note says so
// when the index was missing or not up to date. Stops early when on_report
// returns false or query.stop is set. False with the reason in *error when
// query.regex is set and the expression is invalid. Follows no link out of
// data_folder (InsideFolder).
bool SearchReports(const std::string& data_folder, const SearchQuery& query,
                   const std::function<bool(const ReportHits&)>& on_report, std::string* note,
                   std::string* error);

#endif  // QUELLOR_ARCHIVE_SEARCH_H_
