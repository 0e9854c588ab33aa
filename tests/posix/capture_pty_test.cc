// The POSIX loop and serial port on real pseudo-terminals, alone and under
// frmMain.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/posix/event_loop-posix.h"
#include "platform/posix/line_speed-posix.h"
#include "platform/posix/serial_port-posix.h"
#include "support/frm_main_fixture.h"
#include "support/log_target.h"
#include "support/pty.h"
#include "util/numbered_error.h"

namespace {

using namespace std::string_literals;

// Runs the loop until done() holds, checked every 10 ms, or 20 s pass.
void RunUntil(PosixEventLoop& loop, const std::function<bool()>& done) {
  const int64_t give_up = SteadyNowMs() + 20000;
  auto check = loop.CreateTimer([&] {
    if (done() || SteadyNowMs() > give_up) loop.Quit();
  });
  check->SetInterval(10);
  check->SetEnabled(true);
  loop.Run();
}

TEST(PosixSerialPortTest, SettingsAreCheckedEvenWhileClosed) {
  PosixEventLoop loop;
  PosixSerialPort port(loop);
  // A file copied from Windows runs: its speeds and 1.5 stop bits are taken.
  for (const char* good : {"9600,n,8,1", "19200,E,7,2", "115200,m,5,1", "300,s,6,2", "14400,n,8,1",
                           "256000,n,8,1", "9600,n,8,1.5", "110,o,8,1"}) {
    EXPECT_EQ(ErrorOf([&] { port.SetSettings(good); }), 0) << good;
    EXPECT_EQ(port.Settings(), good);
  }
  for (const char* bad : {"", "9600,n,8", "9600,x,8,1", "14401,n,8,1"}) {
    EXPECT_EQ(ErrorOf([&] { port.SetSettings(bad); }), kErrInvalidPropertyValue) << bad;
    EXPECT_EQ(port.Settings(), "110,o,8,1") << bad;
  }
}

TEST(PosixSerialPortTest, PortNumberNamesTheTtySDevice) {
  PosixEventLoop loop;
  PosixSerialPort port(loop);
  port.SetCommPort(5);
  EXPECT_EQ(port.DevicePath(), "/dev/ttyS4");
  port.SetDevicePath("/dev/serial/by-id/plant");
  EXPECT_EQ(port.DevicePath(), "/dev/serial/by-id/plant");
  port.SetDevicePath("");
  EXPECT_EQ(port.DevicePath(), "/dev/ttyS4");
}

TEST(PosixSerialPortTest, AbsentOrNonSerialDeviceIsAnInvalidPort) {
  TempFolder folder;
  WriteBytes(folder / "plain", "not a tty");
  PosixEventLoop loop;
  PosixSerialPort port(loop);
  for (const std::string& path : {folder / "missing", folder / "plain"}) {
    port.SetDevicePath(path);
    std::string description;
    EXPECT_EQ(ErrorOf([&] { port.SetPortOpen(true); }, &description), kErrPortOpenFailed);
    EXPECT_NE(description.find(path), std::string::npos) << description;
    EXPECT_FALSE(port.PortOpen());
  }
}

TEST(PosixSerialPortTest, APortHeldByAnotherIsBusy) {
  Pty pty;
  PosixEventLoop loop;
  PosixSerialPort first(loop), second(loop);
  first.SetDevicePath(pty.slave_path());
  second.SetDevicePath(pty.slave_path());
  first.SetPortOpen(true);
  std::string description;
  EXPECT_EQ(ErrorOf([&] { second.SetPortOpen(true); }, &description), kErrPortBusy);
  EXPECT_NE(description.find(pty.slave_path()), std::string::npos) << description;
  EXPECT_EQ(ErrorOf([&] { first.SetCommPort(2); }), kErrPortAlreadyOpen);
  first.SetPortOpen(false);
  EXPECT_EQ(ErrorOf([&] { second.SetPortOpen(true); }), 0);
}

TEST(PosixSerialPortTest, SettingsApplyToAnOpenPortInRawMode) {
  Pty pty;
  PosixEventLoop loop;
  std::vector<std::string> log;
  PosixSerialPort port(loop, [&](const std::string& line) { log.push_back(line); });
  port.SetDevicePath(pty.slave_path());
  port.SetPortOpen(true);
  port.SetSettings("19200,e,7,2");
  termios mode = pty.Mode();
  EXPECT_EQ(cfgetispeed(&mode), B19200);
  EXPECT_TRUE(mode.c_cflag & CSTOPB);  // a pty forces 8 data bits and no parity
  EXPECT_EQ(mode.c_lflag & (ICANON | ECHO | ISIG), 0u);
  EXPECT_EQ(mode.c_iflag & (ICRNL | IXON | ISTRIP), 0u);
  EXPECT_TRUE(log.empty());

  const int slave = open(pty.slave_path().c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  for (const uint32_t speed : {28800u, 56000u, 128000u, 9600u}) {
    port.SetSettings(std::to_string(speed) + ",n,8,1.5");
    EXPECT_EQ(LineSpeed(slave), speed);
    EXPECT_TRUE(pty.Mode().c_cflag & CSTOPB) << speed;
  }
  close(slave);
  EXPECT_EQ(log, (std::vector<std::string>{"Settings \"28800,n,8,1.5\": termios has no 1.5 stop "
                                           "bits, 2 are used on " +
                                           pty.slave_path()}));
}

TEST(PosixSerialPortTest, EveryByteArrivesUnchanged) {
  Pty pty;
  PosixEventLoop loop;
  PosixSerialPort port(loop);
  port.SetDevicePath(pty.slave_path());
  port.SetSettings("19200,n,8,1");
  port.SetPortOpen(true);
  std::string bytes;
  for (int c = 0; c < 256; ++c) bytes += static_cast<char>(c);
  bytes += "\x00\x0C\xB0\r\n\n\r"s;
  std::string received;
  int events = 0;
  port.SetOnComm([&] {
    ++events;
    EXPECT_EQ(port.CommEvent(), SerialPort::kEvReceive);
    received += port.Input();
  });
  pty.Write(bytes);
  RunUntil(loop, [&] { return received.size() >= bytes.size(); });
  EXPECT_EQ(received, bytes);
  EXPECT_GE(events, 1);
  EXPECT_EQ(port.Input(), "");
}

// A busy handler lets much arrive meanwhile; each event still hands on one
// read's piece, which is all a crash before the service stores it can cost.
TEST(PosixSerialPortTest, EachReceiveEventHandsOnOneRead) {
  Pty pty;
  PosixEventLoop loop;
  PosixSerialPort port(loop);
  port.SetDevicePath(pty.slave_path());
  port.SetPortOpen(true);
  const std::string bytes(300000, 'x');
  std::string received;
  size_t largest = 0;
  port.SetOnComm([&] {
    const std::string piece = port.Input();
    largest = std::max(largest, piece.size());
    received += piece;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  });
  std::thread printer([&] { pty.Write(bytes); });
  RunUntil(loop, [&] { return received.size() >= bytes.size(); });
  printer.join();
  EXPECT_EQ(received, bytes);
  EXPECT_LE(largest, 4096u);
}

TEST(PosixSerialPortTest, ALostDeviceIsReportedOnceAndNotPolled) {
  Pty pty;
  PosixEventLoop loop;
  PosixSerialPort port(loop);
  port.SetDevicePath(pty.slave_path());
  port.SetPortOpen(true);
  std::vector<int> errors;
  port.SetOnComm([&] {
    const int error = ErrorOf([&] { port.Input(); });
    if (error != 0) errors.push_back(error);
  });
  pty.CloseMaster();
  RunUntil(loop, [&] { return !errors.empty(); });
  const uint64_t wakeups = loop.wakeups();
  auto idle = loop.CreateTimer([&] { loop.Quit(); });
  idle->SetInterval(300);
  idle->SetEnabled(true);
  loop.Run();
  EXPECT_EQ(errors, std::vector<int>{kErrPortReadFailed});
  EXPECT_LE(loop.wakeups() - wakeups, 3u);  // a spinning loop would wake thousands of times
  EXPECT_TRUE(port.PortOpen());
}

TEST(PosixEventLoopTest, IdleLoopWakesOnlyForItsTimers) {
  Pty pty;
  PosixEventLoop loop;
  PosixSerialPort port(loop);
  port.SetDevicePath(pty.slave_path());
  port.SetPortOpen(true);  // a watched, silent descriptor
  int ticks = 0;
  auto tick = loop.CreateTimer([&] { ++ticks; });
  tick->SetInterval(100);
  tick->SetEnabled(true);
  auto stop = loop.CreateTimer([&] { loop.Quit(); });
  stop->SetInterval(250);
  stop->SetEnabled(true);
  loop.Run();
  EXPECT_GE(ticks, 2);
  EXPECT_LE(loop.wakeups(), 5u);
}

TEST(PosixEventLoopTest, ADescriptorClosedWhileWatchedIsCalledOnceAndUnwatched) {
  PosixEventLoop loop;
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  int calls = 0;
  loop.WatchReadable(ends[0], [&] { ++calls; });
  close(ends[0]);
  auto stop = loop.CreateTimer([&] { loop.Quit(); });
  stop->SetInterval(50);
  stop->SetEnabled(true);
  loop.Run();
  close(ends[1]);
  EXPECT_EQ(calls, 1);  // not once per wait
}

// frmMain over the real loop and a pty, as the service runs.
class CapturePtyTest : public ::testing::Test {
 protected:
  void Start() {
    WriteBytes(program_ / "QuellorService.ini",
               "[Quellor Service]\r\nDataFolder=" + data_.path() +
                   "\r\nEndOfFileTimeInterval=1500\r\nSettings=9600,n,8,1\r\nCommDevice=" +
                   pty_.slave_path() + "\r\n");
    form_.Form_Load("");
    ASSERT_TRUE(port_.PortOpen()) << log_.Text();
  }

  Pty pty_;
  TempFolder program_;
  TempFolder data_;
  FakeClock clock_;
  ScopedLogTarget log_{program_.path(), clock_};
  PosixEventLoop loop_;
  PosixSerialPort port_{loop_};
  FakeServiceControl service_;
  FakeDisplay display_;
  frmMain form_{
      {loop_, port_, service_, display_, clock_, program_.path(), program_.path(), "TESTPC"}};
};

TEST_F(CapturePtyTest, AnIdleServiceWakesAboutOnceASecond) {
  Start();
  auto stop = loop_.CreateTimer([&] { loop_.Quit(); });
  stop->SetInterval(2500);
  stop->SetEnabled(true);
  const uint64_t before = loop_.wakeups();
  loop_.Run();
  EXPECT_LE(loop_.wakeups() - before, 5u);  // tmr1sec twice, the stop timer once
}

}  // namespace
