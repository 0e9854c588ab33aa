#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "capture/report_spool.h"
#include "output/report_writer.h"
#include "output/text_helpers.h"
#include "support/frm_main_fixture.h"

namespace {

using Names = std::vector<std::string>;

const std::string kAlarm = "  PROCESS ALARM JOURNAL        PAGE 1\r\n";
const std::string kError = "  SYSTEM ERROR JOURNAL        PAGE 1\r\n";
const std::string kMessage = "  OPERATOR MESSAGE JOURNAL        PAGE 1\r\n";

class SpoolTest : public FrmMainTest {
 protected:
  std::string Spool() const { return program_ / "QuellorService.spool"; }

  // The service started again on the same folders, as after a kill: the
  // first process is left as it was.
  struct Process {
    FakeEventLoop loop;
    FakeSerialPort port;
    FakeServiceControl service;
    FakeDisplay display;
    std::unique_ptr<frmMain> form;
  };
  std::unique_ptr<Process> Restart() {
    auto process = std::make_unique<Process>();
    process->form = std::make_unique<frmMain>(
        frmMain::Components{process->loop, process->port, process->service, process->display,
                            clock_, program_.path(), program_.path(), "TESTPC"});
    process->form->Form_Load("");
    return process;
  }

  // Files a report in the (frozen) second of the clock.
  void Cut(const std::string& report) {
    port_.Receive(report);
    loop_.AdvanceMs(2500);
  }

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
  EXPECT_EQ(ReportSpool::Parse(ReadBytes(Spool())).text, kAlarm + "TAG\r\n");
  loop_.AdvanceMs(2500);
  EXPECT_EQ(Reports().size(), 1u);
  EXPECT_TRUE(Leftovers().empty());
  // A stop files the report being gathered: nothing stays for the next start.
  port_.Receive(kError);
  service_.RaiseStop();
  EXPECT_EQ(Reports().size(), 2u);
  EXPECT_TRUE(Leftovers().empty());
}

// An earlier run left a spool (written by an earlier version, without
// instants: filed at the start's time) and records, one of an earlier
// version's name whose report was filed in full just before the end. None
// is filed before the service runs and the port is open; then each once,
// oldest first.
TEST_F(SpoolTest, LeftoversAreFiledOnceEachOldestFirstAfterTheStart) {
  InitMonthNames();
  const LocalTime earlier{2005, 1, 24, 19, 40, 0};
  ASSERT_TRUE(WriteReportAt(data_.path(), "SystemErrorJournal", kError, earlier));
  WriteBytes(program_ / "QuellorService.spool.20050124194000", kError);
  WriteBytes(program_ / "QuellorService.spool.0000000002.20050124194000", kMessage);
  WriteBytes(Spool(), kAlarm);
  Start();
  EXPECT_EQ(Reports(), Names{"SystemErrorJournal_24Jan05_194000.xml"});
  loop_.AdvanceMs(10);
  EXPECT_EQ(Reports(), (Names{"OperatorMessageJournal_24Jan05_194000.xml",
                              "ProcessAlarmJournal_24Jan05_195034.xml",
                              "SystemErrorJournal_24Jan05_194000.xml"}));
  const std::string log = Log();
  EXPECT_EQ(
      Occurrences(log, "Recovered report 'SystemErrorJournal' left by an earlier run (38 bytes)"),
      1u);
  EXPECT_LT(log.find("'SystemErrorJournal'"), log.find("'OperatorMessageJournal'"));
  EXPECT_LT(log.find("'OperatorMessageJournal'"), log.find("'ProcessAlarmJournal'"));
  EXPECT_TRUE(Leftovers().empty());
}

// The clock stands still: every cut falls in one second, as two reports in
// quick succession, a clock stepped back or the autumn hour make it.
TEST_F(SpoolTest, RecordsOfOneSecondNeverReplaceEachOther) {
  Start();
  std::filesystem::remove_all(data_.path());
  Cut(kAlarm);
  Cut(kError);
  EXPECT_EQ(Leftovers().size(), 2u);
  std::filesystem::create_directory(data_.path());
  const auto later = Restart();
  later->loop.AdvanceMs(10);
  EXPECT_EQ(Reports(), (Names{"ProcessAlarmJournal_24Jan05_195034.xml",
                              "SystemErrorJournal_24Jan05_195034.xml"}));
  EXPECT_LT(Log().find("Recovered report 'ProcessAlarmJournal'"),
            Log().find("Recovered report 'SystemErrorJournal'"));
  EXPECT_TRUE(Leftovers().empty());
}

// A report that could not be stored is tried again once a minute, quietly,
// and at once after a later report is stored; one line when it is.
TEST_F(SpoolTest, WaitingRecordsAreRetriedWhileRunning) {
  Start();
  std::filesystem::remove_all(data_.path());
  Cut(kAlarm);
  loop_.AdvanceMs(120000);
  EXPECT_EQ(Occurrences(Log(), "Report 'ProcessAlarmJournal' not stored"), 1u);
  std::filesystem::create_directory(data_.path());
  loop_.AdvanceMs(60000);
  EXPECT_EQ(Reports(), Names{"ProcessAlarmJournal_24Jan05_195034.xml"});

  std::filesystem::remove_all(data_.path());
  Cut(kError);
  std::filesystem::create_directory(data_.path());
  Cut(kMessage);
  loop_.AdvanceMs(1);
  EXPECT_EQ(Reports().size(), 2u);  // the month's folder went with the first
  const std::string log = Log();
  EXPECT_EQ(Occurrences(log, " not stored"), 2u);
  for (const std::string name : {"ProcessAlarmJournal", "SystemErrorJournal"}) {
    EXPECT_EQ(Occurrences(log, "Report '" + name + "' of 24 Jan 2005  19:50:34 stored after all"),
              1u);
  }
  EXPECT_TRUE(Leftovers().empty());
}

// A kill inside the title line: the piece has no title, yet it is filed,
// named by when it came rather than by the restart.
TEST_F(SpoolTest, ARecoveredPieceWithoutTitleIsFiledAtTheTimeItCame) {
  Start();
  port_.Receive("   PROCESS A");
  clock_.Set({2005, 1, 25, 8, 0, 0});
  const auto later = Restart();
  later->loop.AdvanceMs(10);
  EXPECT_EQ(Reports(), Names{"RecoveredReport_24Jan05_195034.xml"});
  EXPECT_EQ(
      Occurrences(Log(), "Recovered report 'RecoveredReport' left by an earlier run (12 bytes)"),
      1u);
  EXPECT_TRUE(Leftovers().empty());
}

// Each piece is written whole or, at a crash, in part; a spool of an
// earlier version holds the bytes alone.
TEST(ReportSpoolTest, ASpoolCutShortKeepsWhatWasWritten) {
  const std::string piece = "20050124195034 5\nABCDE";
  const struct {
    std::string bytes;
    std::string text;
    bool timed;
  } cases[] = {
      {piece + "20050124195035 4\nXY", "ABCDEXY", true},
      {piece + "2005012419", "ABCDE", true},
      {"  OLD SPOOL\r\n", "  OLD SPOOL\r\n", false},
  };
  for (const auto& c : cases) {
    const ReportSpool::Contents contents = ReportSpool::Parse(c.bytes);
    EXPECT_EQ(contents.text, c.text) << c.bytes;
    EXPECT_EQ(contents.last_received.has_value(), c.timed) << c.bytes;
  }
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
