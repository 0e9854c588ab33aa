#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

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

// On a real port: tests/win32/serial_port_test.sh maps a pseudo-terminal to
// QUELLOR_TEST_COM_PORT and writes the bytes of the file named by
// QUELLOR_TEST_COM_PAYLOAD, in pieces, once the file QUELLOR_TEST_COM_GO
// exists.
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

}  // namespace
