#ifndef QUELLOR_UTIL_TRIM_H_
#define QUELLOR_UTIL_TRIM_H_

#include <string_view>

// text without the characters of blanks at its start and end; empty when it
// holds nothing else. The result views text, so it lives no longer than it.
std::string_view Trim(std::string_view text, std::string_view blanks);

#endif  // QUELLOR_UTIL_TRIM_H_
