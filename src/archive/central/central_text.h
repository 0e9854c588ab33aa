#ifndef QUELLOR_ARCHIVE_CENTRAL_CENTRAL_TEXT_H_
#define QUELLOR_ARCHIVE_CENTRAL_CENTRAL_TEXT_H_

#include <string>
#include <string_view>
#include <vector>

// text as a database text can hold it: every byte that is not part of valid
// UTF-8 as U+FFFD, every NUL as U+2400 (the symbol for null). A file name
// or a line that is not UTF-8 must not stop the reports after it.
std::string DbText(std::string_view text);

// The printed lines of a report's .xml document as the central database
// keeps them: DbText of each, one LF between two lines.
std::string PrintedText(std::string_view document);

// The lines of a PrintedText.
std::vector<std::string_view> TextLines(std::string_view text);

#endif  // QUELLOR_ARCHIVE_CENTRAL_CENTRAL_TEXT_H_
