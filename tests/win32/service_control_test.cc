#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "output/service_log.h"
#include "platform/file_system.h"
#include "platform/win32/event_loop-win32.h"
#include "platform/win32/service_control-win32.h"
#include "support/fake_platform.h"
#include "support/log_target.h"
#include "support/temp_folder.h"

namespace {

const char* StateName(DWORD state) {
  switch (state) {
    case SERVICE_STOPPED:
      return "STOPPED";
    case SERVICE_START_PENDING:
      return "START_PENDING";
    case SERVICE_STOP_PENDING:
      return "STOP_PENDING";
    case SERVICE_RUNNING:
      return "RUNNING";
    case SERVICE_CONTINUE_PENDING:
      return "CONTINUE_PENDING";
    case SERVICE_PAUSE_PENDING:
      return "PAUSE_PENDING";
    case SERVICE_PAUSED:
      return "PAUSED";
  }
  return "?";
}

// One trace of what the host reported and which events it raised, in order:
// "START_PENDING", "Start", "RUNNING", ... Events also note their thread.
struct Trace {
  std::vector<std::string> entries;
  std::vector<SERVICE_STATUS> statuses;
  std::vector<DWORD> event_threads;
};

class RecordingEvents : public ServiceEvents {
 public:
  RecordingEvents(EventLoop& loop, Trace& trace) : loop_(loop), trace_(trace) {}

  void NTService1_Start(bool& Success) override {
    Record("Start");
    if (answer_start) Success = true;
  }
  void NTService1_Stop() override {
    Record("Stop");
    loop_.Quit();
  }
  void NTService1_Pause(bool& Success) override {
    Record("Pause");
    if (answer_pause_continue) Success = true;
  }
  void NTService1_Continue(bool& Success) override {
    Record("Continue");
    if (answer_pause_continue) Success = true;
  }
  void NTService1_Control(int32_t code) override { Record("Control " + std::to_string(code)); }

  bool answer_start = true;
  bool answer_pause_continue = true;

 private:
  void Record(const std::string& event) {
    trace_.entries.push_back(event);
    trace_.event_threads.push_back(GetCurrentThreadId());
  }

  EventLoop& loop_;
  Trace& trace_;
};

class Win32ServiceControlTest : public testing::Test {
 protected:
  Win32ServiceControlTest()
      : service_(std::make_unique<Win32ServiceControl>(
            loop_, [](const std::string& line) { WriteLog(line); },
            [this](const SERVICE_STATUS& s) {
              trace_.entries.push_back(StateName(s.dwCurrentState));
              trace_.statuses.push_back(s);
            })) {
    service_->SetEvents(&events_);
    service_->SetAcceptedControls(2);
  }

  // Starts in the foreground and, once Start has been answered, sends each
  // request after the loop has handled the one before; runs the loop until
  // the Stop event ends it. The script must lead to a stop. Returns the
  // answers given to the requests.
  std::vector<DWORD> RunRequests(const std::vector<DWORD>& controls) {
    std::vector<DWORD> answers;
    std::function<void(size_t)> step = [&](size_t i) {
      if (i == controls.size()) return;
      answers.push_back(service_->HandleControl(controls[i]));
      loop_.Post([&step, i] { step(i + 1); });
    };
    service_->SetDebugMode(true);
    EXPECT_TRUE(service_->RunService());
    loop_.Post([&step] { step(0); });
    loop_.Run();
    return answers;
  }

  // Ends the host as the process does after the loop returned.
  void EndProcess() { service_.reset(); }

  Trace trace_;
  Win32EventLoop loop_;
  RecordingEvents events_{loop_, trace_};
  std::unique_ptr<Win32ServiceControl> service_;
};

using Entries = std::vector<std::string>;

TEST_F(Win32ServiceControlTest, ReportsEachStateOnlyAfterItsHandlerAnswered) {
  std::vector<DWORD> answers =
      RunRequests({SERVICE_CONTROL_PAUSE, SERVICE_CONTROL_CONTINUE, 200, SERVICE_CONTROL_STOP});
  EndProcess();

  EXPECT_EQ(answers, std::vector<DWORD>(4, NO_ERROR));
  // STOPPED comes last, after the Stop event has written its log line.
  EXPECT_EQ(trace_.entries, (Entries{"START_PENDING", "Start", "RUNNING", "PAUSE_PENDING", "Pause",
                                     "PAUSED", "CONTINUE_PENDING", "Continue", "RUNNING",
                                     "Control 200", "STOP_PENDING", "Stop", "STOPPED"}));
}

TEST_F(Win32ServiceControlTest, AcceptsPauseAndContinueOnlyWhenAskedTo) {
  RunRequests({SERVICE_CONTROL_STOP});
  const SERVICE_STATUS& start_pending = trace_.statuses.at(0);
  const SERVICE_STATUS& running = trace_.statuses.at(1);
  ASSERT_EQ(running.dwCurrentState, SERVICE_RUNNING);
  EXPECT_EQ(start_pending.dwControlsAccepted, 0u);
  EXPECT_NE(start_pending.dwWaitHint, 0u);
  EXPECT_EQ(running.dwControlsAccepted,
            DWORD{SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN | SERVICE_ACCEPT_PAUSE_CONTINUE});
  EXPECT_EQ(running.dwServiceType, DWORD{SERVICE_WIN32_OWN_PROCESS});
}

TEST_F(Win32ServiceControlTest, WithoutAcceptedControlsPauseIsRefused) {
  service_->SetAcceptedControls(0);
  std::vector<DWORD> answers = RunRequests({SERVICE_CONTROL_PAUSE, SERVICE_CONTROL_STOP});

  EXPECT_EQ(answers, (std::vector<DWORD>{ERROR_CALL_NOT_IMPLEMENTED, NO_ERROR}));
  EXPECT_EQ(trace_.entries, (Entries{"START_PENDING", "Start", "RUNNING", "STOP_PENDING", "Stop"}));
  EXPECT_EQ(trace_.statuses.at(1).dwControlsAccepted,
            DWORD{SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN});
}

TEST_F(Win32ServiceControlTest, OnlyUserControlCodesBecomeControlEvents) {
  std::vector<DWORD> answers = RunRequests({127, 128, 255, 256, SERVICE_CONTROL_STOP});

  EXPECT_EQ(answers, (std::vector<DWORD>{ERROR_CALL_NOT_IMPLEMENTED, NO_ERROR, NO_ERROR,
                                         ERROR_CALL_NOT_IMPLEMENTED, NO_ERROR}));
  EXPECT_EQ(trace_.entries, (Entries{"START_PENDING", "Start", "RUNNING", "Control 128",
                                     "Control 255", "STOP_PENDING", "Stop"}));
}

TEST_F(Win32ServiceControlTest, RefusedPauseOrContinueKeepsThePreviousState) {
  events_.answer_pause_continue = false;
  RunRequests({SERVICE_CONTROL_PAUSE, SERVICE_CONTROL_CONTINUE, SERVICE_CONTROL_STOP});

  EXPECT_EQ(trace_.entries,
            (Entries{"START_PENDING", "Start", "RUNNING", "PAUSE_PENDING", "Pause", "RUNNING",
                     "CONTINUE_PENDING", "Continue", "RUNNING", "STOP_PENDING", "Stop"}));
}

TEST_F(Win32ServiceControlTest, ShutdownIsAStop) {
  RunRequests({SERVICE_CONTROL_SHUTDOWN});
  EXPECT_EQ(trace_.entries, (Entries{"START_PENDING", "Start", "RUNNING", "STOP_PENDING", "Stop"}));
}

TEST_F(Win32ServiceControlTest, InterrogateReportsTheStateAgainWithoutAnEvent) {
  RunRequests({SERVICE_CONTROL_INTERROGATE, SERVICE_CONTROL_STOP});
  EXPECT_EQ(trace_.entries,
            (Entries{"START_PENDING", "Start", "RUNNING", "RUNNING", "STOP_PENDING", "Stop"}));
}

TEST_F(Win32ServiceControlTest, RequestsAfterAStopAreRefusedAndStopIsRaisedOnce) {
  std::vector<DWORD> answers;
  service_->SetDebugMode(true);
  ASSERT_TRUE(service_->RunService());
  loop_.Post([&] {
    for (DWORD control : std::vector<DWORD>{SERVICE_CONTROL_STOP, SERVICE_CONTROL_PAUSE, 200,
                                            SERVICE_CONTROL_STOP}) {
      answers.push_back(service_->HandleControl(control));
    }
  });
  loop_.Run();

  EXPECT_EQ(answers, (std::vector<DWORD>{NO_ERROR, ERROR_SERVICE_CANNOT_ACCEPT_CTRL,
                                         ERROR_SERVICE_CANNOT_ACCEPT_CTRL,
                                         ERROR_SERVICE_CANNOT_ACCEPT_CTRL}));
  EXPECT_EQ(trace_.entries, (Entries{"START_PENDING", "Start", "RUNNING", "STOP_PENDING", "Stop"}));
}

TEST_F(Win32ServiceControlTest, AStopDuringStartWinsOverTheStartsAnswer) {
  service_->SetDebugMode(true);
  ASSERT_TRUE(service_->RunService());
  // Requested before the loop has raised Start.
  EXPECT_EQ(service_->HandleControl(SERVICE_CONTROL_STOP), DWORD{NO_ERROR});
  loop_.Run();
  EXPECT_EQ(trace_.entries, (Entries{"START_PENDING", "STOP_PENDING", "Start", "Stop"}));
}

TEST_F(Win32ServiceControlTest, ARefusedStartEndsTheService) {
  events_.answer_start = false;
  service_->SetDebugMode(true);
  ASSERT_TRUE(service_->RunService());
  loop_.Run();
  EndProcess();
  EXPECT_EQ(trace_.entries, (Entries{"START_PENDING", "Start", "STOP_PENDING", "Stop", "STOPPED"}));
}

TEST_F(Win32ServiceControlTest, StartedByHandSaysHowToRunAndStops) {
  TempFolder folder;
  FakeClock clock;
  ScopedLogTarget log_target(folder.path(), clock);
  // This test program was not started by the service manager: the
  // dispatcher cannot connect.
  ASSERT_TRUE(service_->RunService());
  loop_.Run();

  EXPECT_EQ(trace_.entries, (Entries{"Stop"}));
  EXPECT_EQ(trace_.event_threads, (std::vector<DWORD>{GetCurrentThreadId()}));
  const std::string log = log_target.Text();
  EXPECT_NE(log.find("Not started by the service manager"), std::string::npos) << log;
  EXPECT_NE(log.find("-install\" and start it with \"net start Quellor\""), std::string::npos);
  EXPECT_NE(log.find(" -debug\""), std::string::npos);
}

TEST_F(Win32ServiceControlTest, TitleIsTheDisplayName) {
  EXPECT_EQ(service_->ServiceTitle(), "Quellor Service");
}

}  // namespace
