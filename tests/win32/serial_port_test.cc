#include <gtest/gtest.h>
#include <winsock2.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "platform/win32/serial_port-win32.h"
#include "support/error_of.h"
#include "util/numbered_error.h"

namespace {

TEST(Win32SerialPort, CommPortNamesTheDeviceUnlessAPathIsGiven) {
  Win32EventLoop loop;
  Win32SerialPort port(loop);
  EXPECT_EQ(port.DevicePath(), "\\\\.\\COM1");
  port.SetCommPort(12);
  EXPECT_EQ(port.DevicePath(), "\\\\.\\COM12");
  port.SetDevicePath("\\\\.\\COM3");
  EXPECT_EQ(port.DevicePath(), "\\\\.\\COM3");
  port.SetDevicePath("");
  EXPECT_EQ(port.DevicePath(), "\\\\.\\COM12");
}

TEST(Win32SerialPort, AbsentPortRaisesPortOpenFailedAndStaysClosed) {
  Win32EventLoop loop;
  Win32SerialPort port(loop);
  port.SetCommPort(199);
  EXPECT_EQ(ErrorOf([&] { port.SetPortOpen(true); }), kErrPortOpenFailed);
  EXPECT_FALSE(port.PortOpen());
  EXPECT_EQ(port.Input(), "");
  port.SetDevicePath("\\\\.\\NoSuchDevice");
  EXPECT_EQ(ErrorOf([&] { port.SetPortOpen(true); }), kErrPortOpenFailed);
  EXPECT_FALSE(port.PortOpen());
}

// Bytes that reach a listener's connection after StopReading are taken by
// the last Input: a stop leaves nothing received behind.
TEST(Win32SerialPort, StopLeavesNoByteOfAListenersConnectionBehind) {
  WSADATA winsock;
  ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &winsock), 0);
  // A free loopback port: bound and let go at once.
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int size = sizeof address;
  SOCKET client = socket(AF_INET, SOCK_STREAM, 0);
  bind(client, reinterpret_cast<sockaddr*>(&address), size);
  getsockname(client, reinterpret_cast<sockaddr*>(&address), &size);
  closesocket(client);
  Win32EventLoop loop;
  Win32SerialPort port(loop);
  port.SetDevicePath("tcp-listen:127.0.0.1:" + std::to_string(ntohs(address.sin_port)));
  port.SetPortOpen(true);

  client = socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_EQ(connect(client, reinterpret_cast<sockaddr*>(&address), size), 0);
  Sleep(2 * Win32SerialPort::kReadWaitMs);  // the reader takes the connection
  port.StopReading();
  const std::string last = "PROCESS ALARM JOURNAL\r\nLAST BYTES\r\n";
  ASSERT_EQ(send(client, last.data(), static_cast<int>(last.size()), 0), int(last.size()));
  Sleep(100);
  EXPECT_EQ(port.Input(), last);
  closesocket(client);
  port.SetPortOpen(false);
  WSACleanup();
}

// On a real port: tests/win32/serial_port_test.sh maps a pseudo-terminal to
// QUELLOR_TEST_COM_PORT and writes the bytes of the file named by
// QUELLOR_TEST_COM_PAYLOAD, in pieces, once the file QUELLOR_TEST_COM_GO
// exists. Once the file QUELLOR_TEST_COM_GO with ".unplug" appended exists,
// it writes kLastWords and closes the pty (the device is gone), then links
// the port to a fresh pty, creates ".replugged", and writes kBack once
// ".back" exists.
class Win32SerialPortLive : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* port = std::getenv("QUELLOR_TEST_COM_PORT");
    const char* payload = std::getenv("QUELLOR_TEST_COM_PAYLOAD");
    const char* go = std::getenv("QUELLOR_TEST_COM_GO");
    if (port == nullptr || payload == nullptr || go == nullptr) {
      GTEST_SKIP() << "needs serial_port_test.sh";
    }
    port_number_ = static_cast<int16_t>(std::atoi(port));
    std::ifstream in(payload, std::ios::binary);
    payload_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    go_ = go;
  }

  // Waits up to 10 s for the file name to exist.
  static bool WaitForFile(const std::string& name) {
    for (int i = 0; i < 100; ++i) {
      if (GetFileAttributesA(name.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
      Sleep(100);
    }
    return false;
  }

  // Runs loop until quit or ms have passed.
  static void RunFor(Win32EventLoop& loop, int32_t ms) {
    const auto timer = loop.CreateTimer([&] { loop.Quit(); });
    timer->SetInterval(ms);
    timer->SetEnabled(true);
    loop.Run();
  }

  // CPU time of this process so far, in milliseconds.
  static int64_t CpuMs() {
    FILETIME created, ended, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user);
    const auto ms = [](const FILETIME& t) {
      return ((static_cast<int64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000;
    };
    return ms(kernel) + ms(user);
  }

  static constexpr const char* kLastWords = "LAST WORDS\r\n";
  static constexpr const char* kBack = "BACK AGAIN\r\n";

  int16_t port_number_ = 0;
  std::string payload_;
  std::string go_;
};

TEST_F(Win32SerialPortLive, DeliversEveryByteUnchangedThroughOnComm) {
  Win32EventLoop loop;
  Win32SerialPort port(loop);
  port.SetSettings("19200,n,8,1");
  port.SetInputMode(0);
  port.SetCommPort(port_number_);
  std::string received;
  int events = 0;
  const DWORD loop_thread = GetCurrentThreadId();
  port.SetOnComm([&] {
    ++events;
    EXPECT_EQ(port.CommEvent(), SerialPort::kEvReceive);
    EXPECT_EQ(GetCurrentThreadId(), loop_thread);
    received += port.Input();
    if (received.size() >= payload_.size()) loop.Quit();
  });
  bool expired = false;
  const auto watchdog = loop.CreateTimer([&] {
    expired = true;
    loop.Quit();
  });
  watchdog->SetInterval(20000);
  watchdog->SetEnabled(true);

  port.SetPortOpen(true);
  ASSERT_TRUE(port.PortOpen());
  EXPECT_EQ(ErrorOf([&] { port.SetCommPort(2); }), kErrPortAlreadyOpen);
  port.SetSettings("9600,e,7,2");  // applies to the open port
  port.SetSettings("19200,n,8,1");
  std::ofstream(go_) << "go";
  loop.Run();
  EXPECT_FALSE(expired) << "received " << received.size() << " of " << payload_.size();
  EXPECT_EQ(received, payload_);
  EXPECT_GE(events, 1);

  port.SetPortOpen(false);  // joins the reader
  EXPECT_FALSE(port.PortOpen());
  EXPECT_EQ(port.Input(), "");
  // The port is free again.
  port.SetPortOpen(true);
  EXPECT_TRUE(port.PortOpen());
}

TEST_F(Win32SerialPortLive, AVanishedDeviceRaisesReadFailedOnceThenReopens) {
  Win32EventLoop loop;
  Win32SerialPort port(loop);
  port.SetCommPort(port_number_);
  std::string received;
  std::vector<std::string> errors;
  port.SetOnComm([&] {
    try {
      received += port.Input();
      if (received.ends_with(kBack)) loop.Quit();
    } catch (const NumberedError& e) {
      EXPECT_EQ(e.number(), kErrPortReadFailed);
      errors.push_back(e.description());
      loop.Quit();
    }
  });
  port.SetPortOpen(true);
  std::ofstream(go_ + ".unplug") << "go";
  RunFor(loop, 10000);
  EXPECT_EQ(received, kLastWords);  // what came before the loss first
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(errors[0].find("Error reading \\\\.\\COM"), std::string::npos) << errors[0];

  // Gone for good: no further event, nothing raised again, no spinning.
  const int64_t cpu_before = CpuMs();
  RunFor(loop, 1500);
  EXPECT_LT(CpuMs() - cpu_before, 300);
  EXPECT_EQ(port.Input(), "");
  EXPECT_EQ(errors.size(), 1u);

  // Closed and opened again, the port reads the device the link now names.
  port.SetPortOpen(false);
  ASSERT_TRUE(WaitForFile(go_ + ".replugged"));
  port.SetPortOpen(true);
  std::ofstream(go_ + ".back") << "go";
  received.clear();
  RunFor(loop, 10000);
  EXPECT_EQ(received, kBack);
  EXPECT_EQ(errors.size(), 1u);
}

}  // namespace
