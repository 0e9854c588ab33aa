#include "platform/serial_port_base.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "support/error_of.h"
#include "util/numbered_error.h"

namespace {

// A device that records the hook calls and refuses any line at the speed
// refused_speed, as a driver refusing a speed the text allows would.
class ScriptedPort : public SerialPortBase {
 public:
  ~ScriptedPort() override { CloseDevice(); }

  bool PortOpen() const override { return open_; }
  std::string Input() override { return ""; }
  void StopReading() override {}

  uint32_t refused_speed = 0;
  std::vector<std::string> calls;

 private:
  std::string DeviceForPort(int16_t port) const override { return "dev" + std::to_string(port); }
  void OpenDevice(const std::string& path) override {
    calls.push_back("open " + path);
    open_ = true;
  }
  void ApplyLine(const SerialSettings& line) override {
    calls.push_back("line " + std::to_string(line.speed));
    if (line.speed == refused_speed) throw LineRefused("speed refused");
  }
  void StartReading() override { calls.push_back("read"); }
  void CloseDevice() override {
    if (!open_) return;
    calls.push_back("close");
    open_ = false;
  }

  bool open_ = false;
};

TEST(SerialPortBase, AnOpenDeviceRefusingTheLineKeepsThePreviousSettings) {
  ScriptedPort port;
  port.refused_speed = 19200;
  port.SetPortOpen(true);
  std::string description;
  EXPECT_EQ(ErrorOf([&] { port.SetSettings("19200,e,7,2"); }, &description),
            kErrInvalidPropertyValue);
  EXPECT_NE(description.find("dev1 refuses \"19200,e,7,2\": speed refused"), std::string::npos)
      << description;
  EXPECT_EQ(ErrorOf([&] { port.SetSettings("19200,n,8"); }), kErrInvalidPropertyValue);
  EXPECT_EQ(port.Settings(), "9600,n,8,1");
  EXPECT_TRUE(port.PortOpen());
  port.SetSettings("4800,n,8,1");
  EXPECT_EQ(port.Settings(), "4800,n,8,1");
  EXPECT_EQ(port.calls, (std::vector<std::string>{"open dev1", "line 9600", "read", "line 19200",
                                                  "line 4800"}));
}

TEST(SerialPortBase, ALineRefusedWhileOpeningReleasesTheDevice) {
  ScriptedPort port;
  port.SetSettings("19200,n,8,1");  // closed: only the text is checked
  port.refused_speed = 19200;
  port.SetCommPort(3);
  EXPECT_EQ(ErrorOf([&] { port.SetPortOpen(true); }), kErrInvalidPropertyValue);
  EXPECT_FALSE(port.PortOpen());
  EXPECT_EQ(port.Settings(), "19200,n,8,1");
  port.SetSettings("9600,n,8,1");
  port.SetPortOpen(true);
  port.SetPortOpen(true);  // already open: not opened again
  EXPECT_EQ(port.calls, (std::vector<std::string>{"open dev3", "line 19200", "close", "open dev3",
                                                  "line 9600", "read"}));
}

}  // namespace
