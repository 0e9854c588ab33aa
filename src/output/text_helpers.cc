#include "output/text_helpers.h"

#include <cstdio>
#include <string_view>

#include "util/numbered_error.h"

namespace {

constexpr std::array<const char*, 12> kEnglishMonths{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

std::array<std::string, 12> month_names;
RegionalSettings regional;

// One replacement pass: every non-overlapping occurrence of `from`, left to
// right, becomes `to`; inserted text is not scanned again. `from` is not empty.
std::string ReplaceAll(const std::string& text, std::string_view from, std::string_view to) {
  std::string result;
  result.reserve(text.size());
  size_t done = 0;
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, done)) {
    result.append(text, done, at - done).append(to);
    done = at + from.size();
  }
  return result.append(text, done);
}

// The number with at least `digits` digits, leading zeros added.
std::string ZeroPadded(int value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*d", digits, value);
  return text;
}

std::string TwoDigits(int value) { return ZeroPadded(value, 2); }

// "mmm": the regional abbreviation of the month.
const std::string& RegionalMonth(const LocalTime& t) {
  if (t.month < 1 || t.month > 12) throw SubscriptError();
  return regional.month_abbreviations[t.month - 1];
}

// "hh:nn:ss" with the given separator in place of ":".
std::string ClockTime(const LocalTime& t, const std::string& separator) {
  return TwoDigits(t.hour) + separator + TwoDigits(t.minute) + separator + TwoDigits(t.second);
}

}  // namespace

std::string NormalizeLineEnds(const std::string& text) {
  return ReplaceAll(ReplaceAll(ReplaceAll(text, "\r\n", "\r"), "\n", ""), "\r", "\r\n");
}

std::string EscapeXml(const std::string& text) {
  return ReplaceAll(ReplaceAll(ReplaceAll(text, "&", "&amp;"), "<", "&lt;"), ">", "&gt;");
}

void InitMonthNames() {
  for (size_t i = 0; i < month_names.size(); ++i) month_names[i] = kEnglishMonths[i];
}

const std::array<std::string, 12>& MonthNames() { return month_names; }

const RegionalSettings& Regional() { return regional; }

void SetRegional(const RegionalSettings& settings) { regional = settings; }

std::string FormatTimestamp(const LocalTime& t) {
  return TwoDigits(t.day) + " " + RegionalMonth(t) + " " + ZeroPadded(t.year, 4) + "  " +
         ClockTime(t, regional.time_separator);
}

std::string FormatFileTime(const LocalTime& t) {
  return TwoDigits(t.day) + RegionalMonth(t) + TwoDigits(t.year % 100) + "_" + ClockTime(t, "");
}

std::string FormatLogTime(const LocalTime& t) {
  return TwoDigits(t.day) + "-" + RegionalMonth(t) + "-" + ZeroPadded(t.year, 4) + " " +
         ClockTime(t, regional.time_separator) + "  ";
}
