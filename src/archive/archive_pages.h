#ifndef QUELLOR_ARCHIVE_ARCHIVE_PAGES_H_
#define QUELLOR_ARCHIVE_ARCHIVE_PAGES_H_

#include <string>
#include <string_view>
#include <vector>

#include "archive/report_source.h"
#include "archive/search.h"

// The HTML pages of the archive's web view, made from what a ReportSource
// gives. Every text from the reports or the request is escaped before it
// is shown. Each page carries title (the archive's name) and a viewport for
// phones, and prints without its navigation.

// text with "&", "<", ">", '"' and "'" replaced by entities.
std::string HtmlEscape(std::string_view text);

// A journal's name in words: "ProcessAlarmJournal" -> "Process alarm journal".
std::string JournalWords(const std::string& name);

// The pages below take base: "" for a data folder's view, "/PLANT" for a
// plant's in a view of several (ReportRef::file then starts with "PLANT/").

// The start page: the years, each with links to its months.
std::string HomePage(const std::string& title, const std::vector<LocalTime>& months,
                     const std::string& base = "");

// The start page of a view of several plants: a link to each.
std::string PlantsPage(const std::string& title, const std::vector<std::string>& plants);

// A month as a calendar: per day the number of reports (of journal only,
// unless it is ""), linked to the day's page; the number per journal.
// notice, when not "", is shown above.
std::string MonthPage(const std::string& title, const LocalTime& month,
                      const std::vector<ReportRef>& reports, const std::string& notice,
                      const std::string& journal, const std::string& base = "");

// The reports of one day (reports: its month's, oldest first) in time
// order, of journal only unless it is "", page (from 0) of kPageSize.
std::string DayPage(const std::string& title, const LocalTime& day,
                    const std::vector<ReportRef>& reports, const std::string& journal, size_t page,
                    const std::string& base = "");

// Most rows (reports of a day, reports of search hits) one page shows.
inline constexpr size_t kPageSize = 50;

// One report: its printed lines with the matches of query (when its text is
// not "") marked, the previous and next report of its journal (file "" for
// none) and links to its .xml, .htm and plain text.
struct ReportView {
  ReportRef report;
  std::string text;  // the printed lines, each ended by "\n"
  ReportRef previous, next;
};
std::string ReportPage(const std::string& title, const ReportView& view, const SearchQuery& query,
                       const std::string& base = "");

// The search form as filled in (from, to: the query's dates as given).
struct SearchForm {
  SearchQuery query;
  std::string from, to;
  bool searched = false;
  size_t page = 0;  // from 0, kPageSize reports a page
};
// What a search found for one page.
struct SearchResults {
  std::vector<ReportHits> reports;  // those of the page
  bool more = false;                // later pages hold more
  std::string note;                 // shown above the results when not ""
  std::string error;                // shown instead of results when not ""
};
// The search page: the form, then the reports found, each with its
// matching lines marked and their number.
std::string SearchPage(const std::string& title, const SearchForm& form,
                       const SearchResults& results);

#endif  // QUELLOR_ARCHIVE_ARCHIVE_PAGES_H_
