#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/frm_main_fixture.h"

namespace {

using Lines = std::vector<std::string>;

const std::string kAlarm = "  PROCESS ALARM JOURNAL        PAGE 1\r\n";

using ServiceEventsTest = FrmMainTest;

// The log's bytes for these messages, all stamped by the test's fixed clock.
std::string LogOf(const Lines& messages) {
  std::string log;
  for (const std::string& message : messages) log += "24-Jan-2005 19:50:34  " + message + "\r\n";
  return log;
}

TEST_F(ServiceEventsTest, EachRequestIsAnsweredAndLoggedWithItsOwnText) {
  Start();
  EXPECT_TRUE(service_.RaiseStart());
  // Continue needs no pause before it.
  EXPECT_TRUE(service_.RaiseContinue());
  EXPECT_TRUE(service_.RaisePause());
  EXPECT_TRUE(service_.RaisePause());
  service_.RaiseControl(200);
  service_.RaiseControl(128);
  EXPECT_TRUE(service_.RaiseContinue());
  service_.RaiseStop();

  EXPECT_EQ(Log(), LogOf({"Quellor Service started", "Service Continued", "Service paused",
                          "Service paused", "Control: 200", "Control: 128", "Service Continued",
                          "Service stopped"}));
  EXPECT_TRUE(form_.Ended());
  EXPECT_EQ(form_.ExitCode(), 0);
  EXPECT_FALSE(port_.PortOpen());
}

// Pause, continue and control codes change nothing but the log: a report
// whose countdown runs across them is cut on time and filed.
TEST_F(ServiceEventsTest, RequestsOtherThanStopLeaveTheCaptureRunning) {
  Start();
  port_.Receive(kAlarm);
  loop_.AdvanceMs(1000);
  service_.RaisePause();
  service_.RaiseControl(200);
  port_.Receive("  TAG  VALUE\r\n");
  loop_.AdvanceMs(2499);
  EXPECT_TRUE(Reports().empty());
  loop_.AdvanceMs(1);
  EXPECT_EQ(Reports().size(), 1u);
  EXPECT_TRUE(port_.PortOpen());

  service_.RaiseContinue();
  port_.Receive(kAlarm);
  loop_.AdvanceMs(2500);
  EXPECT_EQ(Reports().size(), 2u);
  EXPECT_FALSE(form_.Ended());
}

TEST_F(ServiceEventsTest, ClosingTheWindowEndsWithoutTheStopLine) {
  Start();
  display_.Close();
  EXPECT_EQ(Log(), LogOf({"Quellor Service started"}));
  EXPECT_FALSE(port_.PortOpen());
  EXPECT_TRUE(form_.Ended());
}

}  // namespace
