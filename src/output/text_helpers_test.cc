#include "output/text_helpers.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "output/report_path.h"
#include "util/numbered_error.h"

namespace {

// The routines' rules as whole-string replacement passes, each scanning left
// to right without rescanning what it inserted: the reference that the
// routines must match byte for byte.
std::string ReplacementPass(const std::string& text, std::string_view from, std::string_view to) {
  std::string result;
  size_t done = 0;
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, done)) {
    result.append(text, done, at - done).append(to);
    done = at + from.size();
  }
  return result.append(text, done);
}

std::string NormalizeByPasses(const std::string& text) {
  return ReplacementPass(ReplacementPass(ReplacementPass(text, "\r\n", "\r"), "\n", ""), "\r",
                         "\r\n");
}

std::string EscapeByPasses(const std::string& text) {
  return ReplacementPass(ReplacementPass(ReplacementPass(text, "&", "&amp;"), "<", "&lt;"), ">",
                         "&gt;");
}

// Every text of up to max_length characters drawn from alphabet.
std::vector<std::string> AllTexts(std::string_view alphabet, size_t max_length) {
  std::vector<std::string> texts{""};
  for (size_t begin = 0, length = 1; length <= max_length; ++length) {
    const size_t end = texts.size();
    for (size_t i = begin; i < end; ++i) {
      for (char c : alphabet) texts.push_back(texts[i] + c);
    }
    begin = end;
  }
  return texts;
}

TEST(ReplacementPassesTest, EachRoutineMatchesItsPassesOnEveryShortText) {
  // Line ends, markup, a letter, NUL and a byte above 127.
  for (const std::string& text : AllTexts(std::string("\r\n&<>a\0\xb0", 8), 5)) {
    ASSERT_EQ(NormalizeLineEnds(text), NormalizeByPasses(text)) << testing::PrintToString(text);
    ASSERT_EQ(EscapeXml(text), EscapeByPasses(text)) << testing::PrintToString(text);
  }
}

struct TextCase {
  std::string input;
  std::string output;
};
void PrintTo(const TextCase& c, std::ostream* o) { *o << testing::PrintToString(c.input); }

class NormalizeLineEndsTest : public testing::TestWithParam<TextCase> {};

TEST_P(NormalizeLineEndsTest, MakesEveryBreakCrLf) {
  EXPECT_EQ(NormalizeLineEnds(GetParam().input), GetParam().output);
}

TEST_P(NormalizeLineEndsTest, IsIdempotent) {
  const std::string once = NormalizeLineEnds(GetParam().input);
  EXPECT_EQ(NormalizeLineEnds(once), once);
}

INSTANTIATE_TEST_SUITE_P(
    Breaks, NormalizeLineEndsTest,
    testing::Values(TextCase{"", ""}, TextCase{"ab\r\ncd\r\n", "ab\r\ncd\r\n"},
                    TextCase{"a\rb", "a\r\nb"}, TextCase{"a\nb", "ab"},
                    TextCase{"a\n\rb", "a\r\nb"}, TextCase{"a\r\r\nb", "a\r\n\r\nb"},
                    TextCase{"ab\r", "ab\r\n"}, TextCase{"\n\n", ""},
                    TextCase{"\r\n\n\r", "\r\n\r\n"},
                    TextCase{std::string("a\0\x0c\xff", 4), std::string("a\0\x0c\xff", 4)}));

class EscapeXmlTest : public testing::TestWithParam<TextCase> {};

TEST_P(EscapeXmlTest, EscapesAmpersandAndAngleBracketsOnly) {
  EXPECT_EQ(EscapeXml(GetParam().input), GetParam().output);
}

INSTANTIATE_TEST_SUITE_P(Markup, EscapeXmlTest,
                         testing::Values(TextCase{"", ""}, TextCase{"a<b&c>d", "a&lt;b&amp;c&gt;d"},
                                         TextCase{"&amp;", "&amp;amp;"},
                                         TextCase{"&lt;", "&amp;lt;"},
                                         TextCase{"\"it's\"", "\"it's\""},
                                         TextCase{"a\r\nb", "a\r\nb"},
                                         TextCase{"<<>>&&", "&lt;&lt;&gt;&gt;&amp;&amp;"}));

// The regional settings are process-wide: every test here leaves them English.
class DatePatternTest : public testing::Test {
 protected:
  void TearDown() override { SetRegional({}); }
};

struct PatternCase {
  LocalTime time;
  std::string timestamp;
  std::string file_time;
  std::string log_time;
};
void PrintTo(const PatternCase& c, std::ostream* o) { *o << c.timestamp; }

// "ddmmmyy_hhnnss": the time part of a report file name.
std::string FileTime(const LocalTime& t, TextEncoding encoding = TextEncoding::kLocal) {
  return NewReportPath("N", t, 1, encoding).Stem().substr(2);
}

class DatePatternTableTest : public testing::TestWithParam<PatternCase> {};

TEST_P(DatePatternTableTest, RendersEveryFieldWithLeadingZeros) {
  EXPECT_EQ(FormatTimestamp(GetParam().time), GetParam().timestamp);
  EXPECT_EQ(FileTime(GetParam().time), GetParam().file_time);
  EXPECT_EQ(FormatLogTime(GetParam().time), GetParam().log_time);
}

INSTANTIATE_TEST_SUITE_P(Dates, DatePatternTableTest,
                         testing::Values(PatternCase{{2005, 1, 24, 19, 50, 34},
                                                     "24 Jan 2005  19:50:34",
                                                     "24Jan05_195034",
                                                     "24-Jan-2005 19:50:34  "},
                                         PatternCase{{2009, 7, 5, 8, 4, 9},
                                                     "05 Jul 2009  08:04:09",
                                                     "05Jul09_080409",
                                                     "05-Jul-2009 08:04:09  "},
                                         PatternCase{{2000, 12, 31, 0, 0, 0},
                                                     "31 Dec 2000  00:00:00",
                                                     "31Dec00_000000",
                                                     "31-Dec-2000 00:00:00  "}));

TEST_F(DatePatternTest, RegionalSettingsChangeStampsButNeverMonthNames) {
  SystemRegionalSettings german;
  german.local.month_abbreviations = {"Jan", "Feb", "M\xe4r", "Apr", "Mai", "Jun",
                                      "Jul", "Aug", "Sep",    "Okt", "Nov", "Dez"};
  german.local.time_separator = ".";
  german.utf8 = german.local;
  german.utf8.month_abbreviations[2] = "M\xc3\xa4r";
  SetRegional(german);
  InitMonthNames();

  const LocalTime october{2011, 10, 3, 7, 6, 5};
  EXPECT_EQ(FormatTimestamp(october), "03 Okt 2011  07.06.05");
  EXPECT_EQ(FileTime(october), "03Okt11_070605");
  EXPECT_EQ(FormatLogTime(october), "03-Okt-2011 07.06.05  ");
  const LocalTime march{2012, 3, 4, 0, 0, 0};
  EXPECT_EQ(FileTime(march), "04M\xe4r12_000000");
  EXPECT_EQ(FileTime(march, TextEncoding::kUtf8), "04M\xc3\xa4r12_000000");
  EXPECT_EQ(FormatTimestamp(march, TextEncoding::kUtf8), "04 M\xc3\xa4r 2012  00.00.00");
  EXPECT_EQ(MonthNames()[2], "Mar");
  EXPECT_EQ(MonthNames()[9], "Oct");
}

TEST_F(DatePatternTest, MonthOutsideTheYearIsAnError) {
  for (int month : {0, 13, -1}) {
    const LocalTime t{2005, month, 24, 19, 50, 34};
    EXPECT_THROW(FormatTimestamp(t), NumberedError) << month;
    EXPECT_THROW(FileTime(t), NumberedError) << month;
    EXPECT_THROW(FormatLogTime(t), NumberedError) << month;
  }
}

TEST(MonthNamesTest, HoldsTheEnglishAbbreviationsInOrder) {
  InitMonthNames();
  const std::array<std::string, 12> expected{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                             "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  EXPECT_EQ(MonthNames(), expected);
  InitMonthNames();  // filling again replaces, never appends
  EXPECT_EQ(MonthNames(), expected);
}

}  // namespace
