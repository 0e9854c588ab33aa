#ifndef QUELLOR_ARCHIVE_CENTRAL_CENTRAL_TEXT_H_
#define QUELLOR_ARCHIVE_CENTRAL_CENTRAL_TEXT_H_

#include <string>
#include <string_view>
#include <vector>

// The printed lines of a report's .xml document as the central database
// keeps them: in UTF-8, one LF between two lines. A NUL byte, which a
// database text cannot hold, is shown as U+2400 (the symbol for null).
std::string PrintedText(std::string_view document);

// The lines of a PrintedText.
std::vector<std::string_view> TextLines(std::string_view text);

#endif  // QUELLOR_ARCHIVE_CENTRAL_CENTRAL_TEXT_H_
