#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "output/report_writer.h"
#include "output/text_helpers.h"
#include "support/frm_main_fixture.h"

namespace {

const std::string kAlarm = "  PROCESS ALARM JOURNAL        PAGE 1\r\n";
const std::string kError = "  SYSTEM ERROR JOURNAL        PAGE 1\r\n";

class SpoolTest : public FrmMainTest {
 protected:
  std::string Spool() const { return program_ / "QuellorService.spool"; }

  // Files of the program folder other than the settings file and the log.
  std::vector<std::string> Leftovers() const {
    std::vector<std::string> names;
    for (const std::string& name : FileNames(program_.path())) {
      if (name != "QuellorService.ini" && name != "QuellorService.log") names.push_back(name);
    }
    return names;
  }
};

TEST_F(SpoolTest, HoldsWhatWasReceivedUntilTheReportIsFiled) {
  Start();
  port_.Receive(kAlarm);
  port_.Receive("TAG\r\n");
  EXPECT_EQ(ReadBytes(Spool()), kAlarm + "TAG\r\n");
  loop_.AdvanceMs(2500);
  EXPECT_EQ(Reports().size(), 1u);
  EXPECT_TRUE(Leftovers().empty());
  // A stop files the report being gathered: nothing stays for the next start.
  port_.Receive(kError);
  service_.RaiseStop();
  EXPECT_EQ(Reports().size(), 2u);
  EXPECT_TRUE(Leftovers().empty());
}

// The spool was being gathered (filed at start, at the start's time); the
// record's report was filed in full at its own instant just before the end.
TEST_F(SpoolTest, LeftoversAreFiledOnceAtStartWithOneLineEach) {
  InitMonthNames();
  const LocalTime earlier{2005, 1, 24, 19, 40, 0};
  ASSERT_TRUE(WriteReportAt(data_.path(), "SystemErrorJournal", kError, earlier));
  WriteBytes(program_ / "QuellorService.spool.20050124194000", kError);
  WriteBytes(Spool(), kAlarm);
  Start();
  EXPECT_EQ(Reports(), (std::vector<std::string>{"ProcessAlarmJournal_24Jan05_195034.xml",
                                                 "SystemErrorJournal_24Jan05_194000.xml"}));
  EXPECT_EQ(
      Occurrences(Log(), "Recovered report 'SystemErrorJournal' left by an earlier run (38 bytes)"),
      1u);
  EXPECT_EQ(Occurrences(Log(), "Recovered report 'ProcessAlarmJournal'"), 1u);
  EXPECT_TRUE(Leftovers().empty());
}

TEST_F(SpoolTest, OneThatCannotBeWrittenIsLoggedOnceAndCaptureGoesOn) {
  std::filesystem::create_directory(Spool());
  Start();
  port_.Receive(kAlarm);
  port_.Receive("TAG\r\n");
  loop_.AdvanceMs(2500);
  port_.Receive(kError);
  loop_.AdvanceMs(2500);
  EXPECT_EQ(Reports().size(), 2u);
  EXPECT_EQ(Occurrences(Log(), "cannot be written"), 1u) << Log();
}

TEST_F(SpoolTest, SilenceAlarmTellsOnceAndAgainWhenReportsCome) {
  Start("SilenceAlarmMinutes=2\r\n");
  loop_.AdvanceMs(119000);
  EXPECT_EQ(Occurrences(Log(), "No report"), 0u);
  loop_.AdvanceMs(1000);
  EXPECT_EQ(Occurrences(Log(), "No report filed for 2 minutes"), 1u);
  EXPECT_EQ(service_.calls().back(), "Status No report filed for 2 minutes");
  loop_.AdvanceMs(600000);
  EXPECT_EQ(Occurrences(Log(), "No report"), 1u);
  port_.Receive(kAlarm);
  loop_.AdvanceMs(2500);
  EXPECT_EQ(Occurrences(Log(), "Reports are filed again"), 1u);
  EXPECT_EQ(service_.calls().back(), "Status Reports are filed again");
}

// An invalid value takes the default: off for the silence alarm.
TEST_F(SpoolTest, AlarmsAreOffWithZero) {
  Start("SilenceAlarmMinutes=-5\r\nMinFreeMegabytes=0\r\n");
  loop_.AdvanceMs(24 * 3600 * 1000);
  EXPECT_EQ(Occurrences(Log(), "No report"), 0u);
  EXPECT_EQ(Occurrences(Log(), "disk"), 0u);
}

TEST_F(SpoolTest, LowDiskIsToldOnceAtTheFirstTick) {
  Start("MinFreeMegabytes=2000000000\r\n");
  loop_.AdvanceMs(1000);
  EXPECT_EQ(Occurrences(Log(), "Low disk space: "), 1u) << Log();
  EXPECT_EQ(Occurrences(Log(), "MB free for " + data_.path() + " (MinFreeMegabytes=2000000000)"),
            1u);
  loop_.AdvanceMs(600000);
  EXPECT_EQ(Occurrences(Log(), "disk space"), 1u);
}

}  // namespace
