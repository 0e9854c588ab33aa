#ifndef QUELLOR_UTIL_DIGITS_H_
#define QUELLOR_UTIL_DIGITS_H_

#include <algorithm>
#include <cstdint>
#include <string_view>

// True when text is one or more of the digits 0 to 9 and nothing else (no
// sign, no blank; unlike std::isdigit, whatever the locale).
inline bool AllDigits(std::string_view text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The value of digits, which AllDigits accepts; more than 19 digits wrap.
inline uint64_t DigitsValue(std::string_view digits) {
  uint64_t value = 0;
  for (char c : digits) value = value * 10 + static_cast<uint64_t>(c - '0');
  return value;
}

#endif  // QUELLOR_UTIL_DIGITS_H_
