#ifndef QUELLOR_ARCHIVE_ARCHIVE_PAGES_H_
#define QUELLOR_ARCHIVE_ARCHIVE_PAGES_H_

#include <string>
#include <string_view>
#include <vector>

#include "archive/archive.h"
#include "archive/search.h"
#include "output/report_index.h"

// The HTML pages of the archive's web view. Every text from the data folder
// or the request is escaped before it is shown.

// text with "&", "<", ">", '"' and "'" replaced by entities.
std::string HtmlEscape(std::string_view text);

// The start page: the years, each with links to its months (a month's
// relative path may start with a plant).
std::string HomePage(const std::vector<MonthFolder>& months);

// A month's reports (time, journal, file linked to its page), those of
// journal only unless it is "", with links that filter by journal. notice,
// when not "", is shown above the list.
std::string MonthPage(const MonthFolder& month, const std::vector<IndexEntry>& entries,
                      const std::string& notice, const std::string& journal);

// The search form as filled in (form_text: the query's dates as given) and
// the hits; error, when not "", in place of the hits. more: hits were left
// out.
struct SearchForm {
  SearchQuery query;
  std::string from, to;
  bool searched = false;
};
// The search page: the form, then the hits as a table (none until searched).
std::string SearchPage(const SearchForm& form, const std::vector<SearchHit>& hits,
                       const std::string& error, bool more);

// The central view's start page: a link to each plant's months.
std::string PlantsPage(const std::vector<std::string>& plants);

// A report's printed text (UTF-8) as a page.
std::string PrintOutPage(const std::string& title, const std::string& text);

#endif  // QUELLOR_ARCHIVE_ARCHIVE_PAGES_H_
