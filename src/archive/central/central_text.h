#ifndef QUELLOR_ARCHIVE_CENTRAL_CENTRAL_TEXT_H_
#define QUELLOR_ARCHIVE_CENTRAL_CENTRAL_TEXT_H_

#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"

// text as a database text can hold it: every byte that is not part of valid
// UTF-8 as U+FFFD, every NUL as U+2400 (the symbol for null). A file name
// or a line that is not UTF-8 must not stop the reports after it.
std::string DbText(std::string_view text);

// The printed lines of a report's .xml document as the central database
// keeps them: DbText of each, one LF between two lines.
std::string PublishedText(std::string_view document);

// t as a database timestamp, "2005-01-24 19:50:34".
std::string SqlTime(const LocalTime& t);

// The time of "2005-01-24 19:50:34".
LocalTime ParseSqlTime(std::string_view text);

// The lines of a PublishedText.
std::vector<std::string_view> TextLines(std::string_view text);

#endif  // QUELLOR_ARCHIVE_CENTRAL_CENTRAL_TEXT_H_
