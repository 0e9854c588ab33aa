#ifndef QUELLOR_OUTPUT_TEXT_HELPERS_H_
#define QUELLOR_OUTPUT_TEXT_HELPERS_H_

#include <array>
#include <string>

#include "platform/clock.h"

// Makes every CR LF and every lone CR a CR LF and drops every lone LF.
std::string NormalizeLineEnds(const std::string& text);

// Replaces "&", "<" and ">" by their entities, in that order; nothing else.
std::string EscapeXml(const std::string& text);

// Fills MonthNames with "Jan" ... "Dec".
void InitMonthNames();

// The English month abbreviations, index 0 = January, whatever the regional
// settings; empty until InitMonthNames. Month folders are named from it.
const std::array<std::string, 12>& MonthNames();

// The regional month abbreviations and time separator that the date patterns
// use. English and ":" unless changed.
struct RegionalSettings {
  std::array<std::string, 12> month_abbreviations{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                  "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::string time_separator = ":";
};
const RegionalSettings& Regional();
void SetRegional(const RegionalSettings& settings);

// The date patterns, rendered with the regional settings. A month outside
// 1 ... 12 raises error 9 "Subscript out of range".

// "dd mmm yyyy  hh:nn:ss": index time stamps and the status bar.
std::string FormatTimestamp(const LocalTime& t);
// "ddmmmyy_hhnnss": the time part of report file names.
std::string FormatFileTime(const LocalTime& t);
// "dd-mmm-yyyy hh:nn:ss  ": the prefix of log lines.
std::string FormatLogTime(const LocalTime& t);

#endif  // QUELLOR_OUTPUT_TEXT_HELPERS_H_
