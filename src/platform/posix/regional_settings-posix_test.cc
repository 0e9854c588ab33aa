#include "platform/posix/regional_settings-posix.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <string>
#include <utility>

#include "output/report_index.h"
#include "output/report_path.h"
#include "output/text_helpers.h"

namespace {

TEST(TimeSeparatorOfTest, TakesWhatStandsBetweenHoursAndMinutes) {
  const std::pair<std::string, std::string> cases[] = {
      {"%T", ":"},      {"%R", ":"},          {"%H:%M:%S", ":"},  {"%H.%M.%S", "."},
      {"%OH.%OM", "."}, {"%p %I:%M:%S", ":"}, {"%k h %M", " h "}, {"%%H-%H_%M", "_"},
      {"%H%M%S", ":"},  {"%H", ":"},          {"", ":"},          {"%", ":"}};
  for (const auto& [format, separator] : cases)
    EXPECT_EQ(TimeSeparatorOf(format), separator) << format;
}

// Every month's report path, built as the service builds it and spelt as
// the index spells it, is taken apart again into what it was made of.
TEST(ReportPathTest, RoundTripsUnderEveryRegionalSetting) {
  InitMonthNames();
  for (const char* locale :
       {"C", "de_DE.UTF-8", "de_DE.ISO-8859-1", "fr_FR.UTF-8", "fi_FI.UTF-8"}) {
    setenv("LC_TIME", locale, 1);
    SetRegional(ReadSystemRegionalSettings());
    for (int month = 1; month <= 12; ++month) {
      const LocalTime t{2024, month, 9, 23, 5, 7};
      for (int clash : {1, 2, 12}) {
        const ReportPath built =
            NewReportPath("SystemErrorJournal", t, clash, TextEncoding::kLocal);
        ReportPath parsed, indexed;
        ASSERT_TRUE(ParseReportPath(built.Xml(), 2024, TextEncoding::kLocal, &parsed))
            << locale << " " << built.Xml();
        EXPECT_EQ(parsed.Htm(), built.Htm());
        EXPECT_EQ(parsed.time, t);
        EXPECT_EQ(parsed.ClashNumber(), clash);
        ASSERT_TRUE(ParseReportPath(IndexEntryOf(built).file, 2024, TextEncoding::kUtf8, &indexed))
            << locale;
        EXPECT_EQ(Respelt(indexed, TextEncoding::kUtf8, TextEncoding::kLocal).Xml(), built.Xml());
        const ReportPath english{"SystemErrorJournal", t, EnglishMonths()[month - 1], "_02"};
        ASSERT_TRUE(ParseReportPath(english.Htm(), 2024, TextEncoding::kLocal, &parsed)) << locale;
        EXPECT_EQ(parsed.Htm(), english.Htm()) << "a clash suffix stays as written";
        EXPECT_EQ(parsed.time, t);
      }
    }
  }
  EXPECT_EQ(CodePageToUtf8("99.9 \xb0"
                           "C \x80"),
            "99.9 \xc2\xb0"
            "C \xe2\x82\xac");
  EXPECT_EQ(Utf8ToCodePage("\xc2\xb0"
                           "C \xe2\x82\xac \xe2\x84\xa6"),
            "\xb0"
            "C \x80 \xe2\x84\xa6");
  unsetenv("LC_TIME");
  setlocale(LC_TIME, "C");
  SetRegional({});
}

}  // namespace
