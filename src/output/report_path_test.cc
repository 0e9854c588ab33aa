#include "output/report_path.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(ReportPathTest, RefusesWhatIsNoReportFileOfTheYear) {
  InitMonthNames();
  const char* const refused[] = {"dir.xml",
                                 "ProcessAlarmJournal_24Jan05_195034.txt",
                                 "_24Jan05_195034.xml",
                                 "ProcessAlarmJournal_24Jan06_195034.xml",
                                 "ProcessAlarmJournal_24Jam05_195034.xml",
                                 "ProcessAlarmJournal_32Jan05_195034.xml",
                                 "ProcessAlarmJournal_24Jan05_245034.xml",
                                 "ProcessAlarmJournal_24Jan05_19503.xml",
                                 "ProcessAlarmJournal_24Jan05_195034_1.xml",
                                 "ProcessAlarmJournal_24Jan05_195034_x.xml",
                                 "ProcessAlarmJournal_24Jan05_195034_2_2.xml"};
  ReportPath path;
  for (const char* file : refused)
    EXPECT_FALSE(ParseReportPath(file, 2005, TextEncoding::kLocal, &path)) << file;
  ASSERT_TRUE(
      ParseReportPath("Shift A&B_24May05_000000_007.xml", 2005, TextEncoding::kUtf8, &path));
  EXPECT_EQ(path.name, "Shift A&B");
  EXPECT_EQ(path.clash, "_007");
  EXPECT_EQ(path.ClashNumber(), 7);
}

}  // namespace
