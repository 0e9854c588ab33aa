#include "capture/report_name.h"

#include <gtest/gtest.h>

#include <cctype>
#include <ostream>
#include <string>

namespace {

struct NameCase {
  const char* about;
  std::string text;
  std::string name;
};

// What the case is about; the text and the name appear in a failure's
// message. CTest shows this beside the test's name.
void PrintTo(const NameCase& name_case, std::ostream* out) { *out << name_case.about; }

// "title amid blanks" -> "TitleAmidBlanks": the case's words, as CTest shows
// the test's name.
std::string CaseName(const testing::TestParamInfo<NameCase>& info) {
  std::string name;
  bool word_start = true;
  for (const char* c = info.param.about; *c != '\0'; ++c) {
    const unsigned char byte = static_cast<unsigned char>(*c);
    word_start = word_start || !std::isalnum(byte);
    if (!std::isalnum(byte)) continue;
    name += word_start ? static_cast<char>(std::toupper(byte)) : *c;
    word_start = false;
  }
  return name;
}

class GetReportNameTest : public testing::TestWithParam<NameCase> {};

TEST_P(GetReportNameTest, NamesFromTheFirstNonBlankLine) {
  EXPECT_EQ(GetReportName(GetParam().text), GetParam().name)
      << "text: " << testing::PrintToString(GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Titles, GetReportNameTest,
    testing::Values(
        NameCase{"title amid blanks", "  PROCESS ALARM JOURNAL        PAGE 1\r\n",
                 "ProcessAlarmJournal"},
        NameCase{"blank lines first", "\r\n   \r\nSYSTEM ERROR JOURNAL\r\n", "SystemErrorJournal"},
        NameCase{"maintenance", "SYSTEM MAINTENANCE JOURNAL\r\n", "SystemMaintenanceJournal"},
        NameCase{"operator message", "OPERATOR MESSAGE JOURNAL\r\n", "OperatorMessageJournal"},
        NameCase{"operator process change", "OPERATOR PROCESS CHANGE JOURNAL\r\n",
                 "OperatorProcessChangeJournal"},
        NameCase{"titles are case-sensitive", "process alarm journal\r\n", "processalarmjo"},
        NameCase{"cut to 16", "SYSTEM STATUS REPORT 06-DEC\r\n", "SYSTEMSTATUSRE"},
        NameCase{"symbols", "*** DAILY LOG ***\r\n", "___DAILYLOG__"},
        NameCase{"short line", "Page 1\r\n", "Page1"},
        NameCase{"form feed is no blank", "\x0c\r\n", "_"},
        NameCase{"tab is no blank", "\tA\r\n", "_A"},
        NameCase{"table order wins", "OPERATOR MESSAGE JOURNAL  SYSTEM ERROR JOURNAL\r\n",
                 "SystemErrorJournal"},
        NameCase{"title on line 6", "\r\n \r\n\r\n  \r\n\r\nPROCESS ALARM JOURNAL\r\n", ""},
        NameCase{"title on line 5", "\r\n \r\n\r\n  \r\nPROCESS ALARM JOURNAL\r\n",
                 "ProcessAlarmJournal"},
        NameCase{"no line end", "PROCESS ALARM JOURNAL", ""},
        NameCase{"lone LF does not end a line", "PROCESS ALARM JOURNAL\n", ""},
        NameCase{"lone CR does not end a line", "PROCESS ALARM JOURNAL\r", ""},
        NameCase{"blank lines then unended title", "\r\n\r\nSYSTEM ERROR JOURNAL", ""},
        NameCase{"empty text", "", ""},
        NameCase{"first line decides", "DAILY LOG\r\nPROCESS ALARM JOURNAL\r\n", "DAILYLOG"},
        NameCase{"later text ignored", "SYSTEM ERROR JOURNAL\r\nOPERATOR MESSAGE JOURNAL\r\nx",
                 "SystemErrorJournal"},
        NameCase{"one _ per byte above 127", "Caf\xc3\xa9 \xe9t\xe9\r\n", "Caf___t_"},
        NameCase{"exactly 16", "ABCDEFGHIJKLMNOP\r\n", "ABCDEFGHIJKLMNOP"},
        NameCase{"17 cut to 16", "ABCDEFGHIJKLMNOPQ\r\n", "ABCDEFGHIJKLMNOP"},
        NameCase{"inner blanks count before the cut", "A B C D E F G H I J\r\n", "ABCDEFGH"},
        NameCase{"NUL is a character", std::string("\0x\r\n", 4), "_x"}),
    CaseName);

TEST(GetReportNameMadeUpTest, MadeUpNamesAreUsableInFileNames) {
  for (int byte = 1; byte < 256; ++byte) {
    if (byte == ' ') continue;
    const std::string name = GetReportName(std::string(1, static_cast<char>(byte)) + "\r\n");
    ASSERT_EQ(name.size(), 1u) << byte;
    const char c = name[0];
    const bool ascii_alnum =
        (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    EXPECT_TRUE(ascii_alnum ? c == byte : c == '_') << byte;
  }
}

}  // namespace
