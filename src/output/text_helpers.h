#ifndef QUELLOR_OUTPUT_TEXT_HELPERS_H_
#define QUELLOR_OUTPUT_TEXT_HELPERS_H_

#include <array>
#include <string>
#include <string_view>

#include "platform/clock.h"
#include "platform/regional_settings.h"

// Makes every CR LF and every lone CR a CR LF and drops every lone LF.
std::string NormalizeLineEnds(const std::string& text);

// value (0 ... 99) as two digits, a leading zero added.
std::string TwoDigits(int value);

// Replaces "&", "<" and ">" by their entities, in that order; nothing else.
std::string EscapeXml(const std::string& text);

// Fills MonthNames with "Jan" ... "Dec".
void InitMonthNames();

// The English month abbreviations, index 0 = January, whatever the regional
// settings; empty until InitMonthNames. Month folders are named from it.
const std::array<std::string, 12>& MonthNames();

// Makes the date patterns use these regional settings: local for file
// names, the log and the window, utf8 for the index. English and ":" until
// called.
void SetRegional(const SystemRegionalSettings& settings);

// Which form of the regional settings a date pattern is rendered with;
// kEnglish: English months and ":" whatever the regional settings.
enum class TextEncoding { kLocal, kUtf8, kEnglish };

// The regional settings SetRegional gave, in the given form.
const RegionalSettings& Regional(TextEncoding encoding);

// text, in the code page that report text is written in (SetRegional's), as
// UTF-8.
std::string CodePageToUtf8(std::string_view text);

// utf8 in that code page: each character the code page has becomes its byte,
// every other byte stays as it is.
std::string Utf8ToCodePage(std::string_view utf8);

// The date patterns, rendered with the regional settings in the given form.
// A month outside 1 ... 12 raises error 9 "Subscript out of range".

// "mmm": the regional abbreviation of t's month.
const std::string& RegionalMonth(const LocalTime& t, TextEncoding encoding);
// "dd mmm yyyy  hh:nn:ss": index time stamps and the status bar.
std::string FormatTimestamp(const LocalTime& t, TextEncoding encoding = TextEncoding::kLocal);
// "dd-mmm-yyyy hh:nn:ss  ": the prefix of log lines.
std::string FormatLogTime(const LocalTime& t);

#endif  // QUELLOR_OUTPUT_TEXT_HELPERS_H_
