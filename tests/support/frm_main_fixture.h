#ifndef QUELLOR_TESTS_SUPPORT_FRM_MAIN_FIXTURE_H_
#define QUELLOR_TESTS_SUPPORT_FRM_MAIN_FIXTURE_H_

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "output/service_log.h"
#include "platform/defaults.h"
#include "platform/file_system.h"
#include "service/frm_main.h"
#include "support/error_of.h"
#include "support/fake_platform.h"
#include "support/log_target.h"
#include "support/temp_folder.h"
#include "util/numbered_error.h"

// A wall clock that also runs a hook whenever it is read, so that a test can
// act at a known step of a handler.
class HookedClock : public FakeClock {
 public:
  LocalTime Now() const override {
    if (on_read) on_read();
    return FakeClock::Now();
  }
  std::function<void()> on_read;
};

// frmMain on fakes, its log and data folder in a temporary folder; the
// built-in data folder is one that does not exist, whatever the machine has.
class FrmMainTest : public ::testing::Test {
 protected:
  FrmMainTest() { SetDefaultDataFolder(program_ / "no-default-folder"); }
  ~FrmMainTest() override { SetDefaultDataFolder(""); }

  // Starts as the service does, with the given lines in the settings file
  // after DataFolder.
  void Start(const std::string& settings = "EndOfFileTimeInterval=2500\r\n") {
    WriteBytes(program_ / "QuellorService.ini",
               "[Quellor Service]\r\nDataFolder=" + data_.path() + "\r\n" + settings);
    form_.Form_Load("");
    ASSERT_TRUE(port_.PortOpen());
  }

  // Names of the .xml report files under the data folder, sorted.
  std::vector<std::string> Reports() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(data_.path())) {
      const std::string name = entry.path().filename().string();
      if (entry.path().extension() == ".xml" && name != "dir.xml") names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  // The .htm page of the only report filed; "" unless exactly one is.
  std::string OnlyReportPage() const {
    std::string page;
    int count = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(data_.path())) {
      if (entry.path().extension() != ".htm") continue;
      page = ReadBytes(entry.path().string());
      ++count;
    }
    return count == 1 ? page : "";
  }

  std::string Log() const { return log_.Text(); }

  TempFolder program_;
  TempFolder data_;
  HookedClock clock_;
  ScopedLogTarget log_{program_.path(), clock_};
  FakeEventLoop loop_;
  FakeSerialPort port_;
  FakeServiceControl service_;
  FakeDisplay display_;
  frmMain form_{
      {loop_, port_, service_, display_, clock_, program_.path(), program_.path(), "TESTPC"}};
};

#endif  // QUELLOR_TESTS_SUPPORT_FRM_MAIN_FIXTURE_H_
