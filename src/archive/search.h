#ifndef QUELLOR_ARCHIVE_SEARCH_H_
#define QUELLOR_ARCHIVE_SEARCH_H_

#include <functional>
#include <string>
#include <string_view>

#include "platform/clock.h"

// What to look for in the printed lines of an archive's reports.
struct SearchQuery {
  std::string text;  // UTF-8: a literal text, or an ECMAScript regular expression
  bool regex = false;
  LocalTime from{0, 1, 1};     // reports filed on or after this day
  LocalTime to{9999, 12, 31};  // reports filed on or before this day
  std::string journal;         // a report name; "" for every report
};

// A printed line that matched, in UTF-8.
struct SearchHit {
  std::string timestamp;  // the report's time stamp, "dd mmm yyyy  hh:nn:ss"
  std::string file;       // the report's .xml file, "2005/Jan/Name_24Jan05_195034.xml"
  std::string line;       // the line as printed (XML entities resolved)
};

// Calls on_line with each printed line of a report's .xml document, in
// print order, XML entities resolved, in UTF-8.
void ForEachPrintedLine(std::string_view document,
                        const std::function<void(std::string&&)>& on_line);

// Parses "yyyy-mm-dd" into a day; false when day is not such a date.
bool ParseDay(const std::string& day, LocalTime* t);

// Calls on_hit for every printed line of data_folder's reports that matches
// query: newest month first, within a month newest report first, within a
// report in print order. Stops early when on_hit returns false. False with
// the reason in *error when query.regex is set and the expression is invalid.
bool SearchArchive(const std::string& data_folder, const SearchQuery& query,
                   const std::function<bool(const SearchHit&)>& on_hit, std::string* error);

#endif  // QUELLOR_ARCHIVE_SEARCH_H_
