#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/frm_main_fixture.h"

namespace {

const std::string kAlarm = "  PROCESS ALARM JOURNAL        PAGE 1\r\n";
const std::string kError = "  SYSTEM ERROR JOURNAL        PAGE 1\r\n";
const std::string kReportAt = "ProcessAlarmJournal_24Jan05_195034.xml";

using CaptureTest = FrmMainTest;

TEST_F(CaptureTest, PiecesWithinTheIntervalMakeOneReport) {
  Start();
  const std::vector<std::string> pieces = {kAlarm, "  TAG      ", "VALUE\r\n", "  FIC101   HI\r\n"};
  for (const std::string& piece : pieces) {
    port_.Receive(piece);
    loop_.AdvanceMs(2499);
  }
  EXPECT_TRUE(Reports().empty());
  EXPECT_EQ(display_.bytes_history(), (std::vector<std::string>{"39", "50", "57", "72"}));
  loop_.AdvanceMs(1);
  EXPECT_EQ(Reports(), std::vector<std::string>{kReportAt});
  const std::string text = kAlarm + "  TAG      VALUE\r\n  FIC101   HI\r\n";
  EXPECT_EQ(display_.received(), text);
  EXPECT_NE(OnlyReportPage().find(text), std::string::npos);
  EXPECT_EQ(display_.panel(Display::kReportPanel),
            "Report 'ProcessAlarmJournal' received  24 Jan 2005  19:50:34");
  loop_.AdvanceMs(100000);  // fires once per report
  EXPECT_EQ(Reports().size(), 1u);
}

TEST_F(CaptureTest, SilenceSeparatesTwoReportsAndTheCountKeepsTheFirstSize) {
  Start();
  port_.Receive(kAlarm);
  loop_.AdvanceMs(2500);
  EXPECT_EQ(display_.bytes_received(), std::to_string(kAlarm.size()));
  clock_.Set({2005, 1, 24, 19, 51, 0});
  loop_.AdvanceMs(60000);
  EXPECT_EQ(display_.bytes_received(), std::to_string(kAlarm.size()));
  port_.Receive(kError);
  EXPECT_EQ(display_.bytes_received(), std::to_string(kError.size()));
  loop_.AdvanceMs(2500);
  EXPECT_EQ(Reports(),
            (std::vector<std::string>{kReportAt, "SystemErrorJournal_24Jan05_195100.xml"}));
  EXPECT_EQ(display_.panel(Display::kReportPanel),
            "Report 'SystemErrorJournal' received  24 Jan 2005  19:51:00");
}

TEST_F(CaptureTest, ErrorEventsNeitherReadNorRestartTheCountdown) {
  Start();
  port_.Receive(kAlarm);
  loop_.AdvanceMs(2000);
  port_.Queue("tail\r\n");
  for (int16_t code : {1001, 1004, 1006, 1008, 1009, 3}) port_.RaiseEvent(code);
  EXPECT_EQ(port_.waiting(), "tail\r\n");
  EXPECT_EQ(display_.bytes_history().size(), 1u);
  loop_.AdvanceMs(500);
  ASSERT_EQ(Reports().size(), 1u);
  // The end of report still takes what waited without a receive event.
  EXPECT_EQ(display_.received(), kAlarm + "tail\r\n");
}

TEST_F(CaptureTest, AnEmptyReceiptShowsTheCountAgainAndRestartsTheCountdown) {
  Start();
  port_.Receive(kAlarm);
  loop_.AdvanceMs(2000);
  port_.RaiseEvent(SerialPort::kEvReceive);
  EXPECT_EQ(display_.bytes_history(), (std::vector<std::string>{"39", "39"}));
  loop_.AdvanceMs(2499);
  EXPECT_TRUE(Reports().empty());
  loop_.AdvanceMs(1);
  EXPECT_EQ(Reports().size(), 1u);
}

TEST_F(CaptureTest, CharactersArrivingDuringTheWriteStartTheNextReport) {
  Start();
  port_.Receive(kAlarm);
  loop_.AdvanceMs(2499);
  // The clock is read for the status message, after the buffer was taken.
  clock_.on_read = [this] {
    port_.Queue("  SYSTEM");
    clock_.on_read = nullptr;
  };
  loop_.AdvanceMs(1);
  EXPECT_EQ(display_.received(), kAlarm);
  EXPECT_EQ(OnlyReportPage().find("SYSTEM"), std::string::npos);
  port_.RaiseEvent(SerialPort::kEvReceive);
  EXPECT_EQ(display_.bytes_received(), "8");
}

TEST_F(CaptureTest, TheCountAfterACutIsTheSizeAsReceived) {
  Start();
  port_.Receive("  PROCESS ALARM JOURNAL\n\rTAG\r\n");  // lone LF dropped, lone CR doubled
  loop_.AdvanceMs(2500);
  EXPECT_EQ(display_.bytes_received(), "30");
  EXPECT_EQ(display_.received(), "  PROCESS ALARM JOURNAL\r\nTAG\r\n");
}

TEST_F(CaptureTest, TheDisplayShowsAtMost25000Characters) {
  Start();
  for (size_t size : {24999u, 25000u, 25001u, 60000u}) {
    const std::string report = kAlarm + std::string(size - kAlarm.size(), 'x');
    port_.Receive(report);
    loop_.AdvanceMs(2500);
    EXPECT_EQ(display_.received(), report.substr(0, 25000)) << size;
    clock_.Set({2005, 1, 24, 19, 50, static_cast<int>(size % 60)});
  }
  // The files always hold the whole report.
  EXPECT_EQ(Reports().size(), 4u);
}

TEST_F(CaptureTest, AReportWithoutTitleLineIsShownButNotStored) {
  Start();
  port_.Receive(kAlarm);
  loop_.AdvanceMs(2500);
  const std::string status = display_.panel(Display::kReportPanel);
  const std::string untitled = "\r\n   \r\n\r\n\r\n\r\n  PROCESS ALARM JOURNAL\r\n";
  port_.Receive(untitled);
  loop_.AdvanceMs(2500);
  EXPECT_EQ(display_.received(), untitled);
  EXPECT_EQ(display_.panel(Display::kReportPanel), status);
  EXPECT_EQ(Reports().size(), 1u);
  EXPECT_EQ(Log().find("Report"), std::string::npos);  // nothing logged
}

TEST_F(CaptureTest, ClockPanelIsSetOnMultiplesOfFiveSecondsOnly) {
  struct Tick {
    int second;
    bool sets;
  };
  for (const Tick& tick : {Tick{3, false}, Tick{5, true}, Tick{0, true}, Tick{59, false},
                           Tick{55, true}, Tick{1, false}}) {
    display_.SetStatusPanel(Display::kClockPanel, "before");
    clock_.Set({2005, 1, 24, 12, 0, tick.second});
    loop_.AdvanceMs(1000);
    const std::string expected =
        tick.sets ? "24 Jan 2005  12:00:" + std::string(tick.second < 10 ? "0" : "") +
                        std::to_string(tick.second)
                  : "before";
    EXPECT_EQ(display_.panel(Display::kClockPanel), expected) << tick.second;
  }
}

TEST_F(CaptureTest, ClockPanelIsEmptyUntilTheFirstMultipleOfFive) {
  clock_.Set({2005, 1, 24, 12, 0, 1});
  loop_.AdvanceMs(3000);
  EXPECT_EQ(display_.panel(Display::kClockPanel), "");
}

TEST_F(CaptureTest, AnIntervalNeverValidlySetStillCutsReports) {
  Start("EndOfFileTimeInterval=soon\r\n");
  EXPECT_EQ(form_.EndOfFileTimeInterval(), 1000);
  port_.Receive(kAlarm);
  loop_.AdvanceMs(2499);
  EXPECT_TRUE(Reports().empty());
  loop_.AdvanceMs(1);
  EXPECT_EQ(Reports().size(), 1u);
}

TEST_F(CaptureTest, AnIntervalAboveTheTimersRangeCutsAtItsLargest) {
  Start("EndOfFileTimeInterval=70000\r\n");
  port_.Receive(kAlarm);
  loop_.AdvanceMs(65534);
  EXPECT_TRUE(Reports().empty());
  loop_.AdvanceMs(1);
  EXPECT_EQ(Reports().size(), 1u);
  EXPECT_EQ(Log().find("["), std::string::npos);  // no error, at start-up or on a receipt
}

// An unplugged adapter: what came before is filed at its silence, the port
// is closed and tried every 5 s, one line at the loss, one an hour while it
// stays away, one at its return.
TEST_F(CaptureTest, ALostPortIsFiledUpToTheLossAndOpenedAgainOnceBack) {
  Start("EndOfFileTimeInterval=2500\r\nCommDevice=/dev/plant\r\n");
  port_.Receive(kAlarm);
  port_.FailInput(NumberedError(kErrPortReadFailed, "Error reading /dev/plant: end of file"));
  port_.FailOpen(NumberedError(kErrPortOpenFailed, "Invalid port number: /dev/plant"));
  port_.RaiseEvent(SerialPort::kEvReceive);
  EXPECT_FALSE(port_.PortOpen());
  loop_.AdvanceMs(2500);
  EXPECT_EQ(Reports(), std::vector<std::string>{kReportAt});

  loop_.AdvanceMs(2 * 3600 * 1000 - 2500);
  const auto& history = port_.history();
  EXPECT_EQ(std::count(history.begin(), history.end(), "open failed"), 2 * 3600 / 5);
  port_.FailInput(std::nullopt);
  port_.FailOpen(std::nullopt);
  loop_.AdvanceMs(4999);
  EXPECT_FALSE(port_.PortOpen());
  loop_.AdvanceMs(1);
  EXPECT_TRUE(port_.PortOpen());
  EXPECT_EQ(Occurrences(Log(), "Port lost: Error reading /dev/plant: end of file\r\n"), 1u);
  EXPECT_EQ(Occurrences(Log(), "Port still unavailable: Invalid port number: /dev/plant\r\n"), 2u);
  EXPECT_EQ(Occurrences(Log(), "Port reopened: /dev/plant\r\n"), 1u);
  EXPECT_EQ(Occurrences(Log(), "\r\n"), 4u + 1u);  // and "Quellor Service started"

  port_.Receive(kError);
  loop_.AdvanceMs(2500);
  EXPECT_EQ(Reports().size(), 2u);
}

TEST_F(CaptureTest, ShutDownFilesTheGatheredReportBeforeClosingThePort) {
  Start();
  port_.Receive(kAlarm);
  port_.Queue("  TAIL\r\n");
  port_.Hold("  END\r\n");
  display_.Close();
  EXPECT_EQ(Reports(), std::vector<std::string>{kReportAt});
  EXPECT_EQ(display_.received(), kAlarm + "  TAIL\r\n  END\r\n");
  EXPECT_EQ(port_.history().back(), "close");
  EXPECT_FALSE(port_.PortOpen());
  EXPECT_TRUE(form_.Ended());
  EXPECT_EQ(form_.ExitCode(), 0);
  EXPECT_TRUE(loop_.quit_called());
}

TEST_F(CaptureTest, ShutDownFilesTheGatheredReportEvenWhenTheLastReadFails) {
  Start();
  port_.Receive(kAlarm);
  port_.FailInput(NumberedError(kErrPortReadFailed, "Error reading /dev/ttyS0"));
  display_.Close();
  EXPECT_EQ(Reports(), std::vector<std::string>{kReportAt});
  EXPECT_NE(Log().find("Port lost: Error reading /dev/ttyS0\r\n"), std::string::npos);
  EXPECT_FALSE(port_.PortOpen());
  EXPECT_TRUE(form_.Ended());
}

TEST_F(CaptureTest, ShutDownWhenIdleWritesNothing) {
  Start();
  service_.RaiseStop();
  EXPECT_TRUE(Reports().empty());
  EXPECT_FALSE(port_.PortOpen());
  EXPECT_TRUE(form_.Ended());
}

TEST_F(CaptureTest, ShutDownWhenThePortNeverOpenedSkipsIt) {
  display_.Close();
  EXPECT_TRUE(port_.history().empty());
  EXPECT_TRUE(form_.Ended());
  display_.Close();  // a second unload changes nothing
  EXPECT_TRUE(form_.Ended());
}

TEST_F(CaptureTest, NoEventIsHandledAfterShutDown) {
  Start();
  display_.Close();
  port_.Receive(kAlarm);
  EXPECT_EQ(display_.bytes_history().size(), 0u);
}

}  // namespace
