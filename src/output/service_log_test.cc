#include "output/service_log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "output/text_helpers.h"
#include "platform/file_system.h"
#include "support/fake_platform.h"
#include "support/log_target.h"
#include "support/temp_folder.h"

namespace {

class ServiceLogTest : public ::testing::Test {
 protected:
  TempFolder folder_;
  FakeClock clock_{{2005, 3, 7, 19, 5, 3}};
  ScopedLogTarget log_{folder_.path(), clock_};
};

TEST_F(ServiceLogTest, FirstCallCreatesTheLogWithOneLine) {
  WriteLog("Service stopped");
  EXPECT_EQ(log_.Text(), "07-Mar-2005 19:05:03  Service stopped\r\n");
}

TEST_F(ServiceLogTest, MessagesAreWrittenUnchanged) {
  const std::string long_message(5000, 'm');
  WriteLog("");
  WriteLog("  two\r\nlines ");
  WriteLog(long_message);
  EXPECT_EQ(log_.Text(),
            "07-Mar-2005 19:05:03  \r\n"
            "07-Mar-2005 19:05:03    two\r\nlines \r\n"
            "07-Mar-2005 19:05:03  " +
                long_message + "\r\n");
}

TEST_F(ServiceLogTest, EachLineCarriesTheTimeOfItsCall) {
  WriteLog("first");
  clock_.Set({2010, 12, 31, 23, 59, 59});
  WriteLog("second");
  EXPECT_EQ(log_.Text(),
            "07-Mar-2005 19:05:03  first\r\n"
            "31-Dec-2010 23:59:59  second\r\n");
}

TEST_F(ServiceLogTest, RemovedLogIsCreatedAnew) {
  WriteLog("first");
  std::filesystem::remove(folder_ / "QuellorService.log");
  WriteLog("second");
  EXPECT_EQ(log_.Text(), "07-Mar-2005 19:05:03  second\r\n");
}

TEST_F(ServiceLogTest, UnwritableFolderLosesTheEntryQuietly) {
  WriteBytes(folder_ / "file", "");
  for (const std::string& unwritable : {folder_ / "missing", folder_ / "file"}) {
    SetLogTarget(unwritable, clock_);
    EXPECT_NO_THROW(WriteLog("lost")) << unwritable;
  }
  EXPECT_FALSE(FolderExists(folder_ / "missing"));
  EXPECT_EQ(ReadBytes(folder_ / "file"), "");
}

// Records what reaches it as "severity file|only message".
class RecordingSystemLog : public SystemLog {
 public:
  bool Write(LogSeverity severity, const std::string& message, bool in_file) override {
    lines.push_back(std::to_string(static_cast<int>(severity)) + (in_file ? " file " : " only ") +
                    message);
    return true;
  }
  std::vector<std::string> lines;
};

TEST_F(ServiceLogTest, EveryLineAlsoGoesToTheSystemLogWhichIsToldOnceWhenTheFileFails) {
  RecordingSystemLog system;
  SetSystemLog(&system);
  const std::string missing = folder_ / "missing";
  WriteLog("Port lost: gone", LogSeverity::kError);
  SetLogTarget(missing, clock_);
  WriteLog("one", LogSeverity::kWarning);
  WriteLog("two");
  SetLogTarget(folder_.path(), clock_);
  WriteLog("three");
  SetLogTarget(missing, clock_);
  WriteLog("four");
  SetSystemLog(nullptr);

  const std::string failure =
      "2 only Log file '" + JoinPath(missing, "QuellorService.log") + "' cannot be written: ";
  ASSERT_EQ(system.lines.size(), 7u);
  EXPECT_EQ(system.lines[0], "2 file Port lost: gone");
  EXPECT_TRUE(system.lines[1].starts_with(failure)) << system.lines[1];
  EXPECT_EQ(system.lines[2], "1 only one");
  EXPECT_EQ(system.lines[3], "0 only two");
  EXPECT_EQ(system.lines[4], "0 file three");
  EXPECT_EQ(system.lines[5], system.lines[1]);
  EXPECT_EQ(system.lines[6], "0 only four");
  EXPECT_EQ(log_.Text(),
            "07-Mar-2005 19:05:03  Port lost: gone\r\n"
            "07-Mar-2005 19:05:03  three\r\n");
}

TEST_F(ServiceLogTest, RunLoggingErrorsLogsNumberAndDescription) {
  EXPECT_TRUE(RunLoggingErrors("Start: ", [] {}));
  EXPECT_FALSE(RunLoggingErrors("Start: ", [] { throw OverflowError(); }));
  EXPECT_FALSE(RunLoggingErrors("Stop: ", [] { throw std::runtime_error("disk gone"); }));
  EXPECT_EQ(log_.Text(),
            "07-Mar-2005 19:05:03  Start: [6] Overflow\r\n"
            "07-Mar-2005 19:05:03  Stop: [51] disk gone\r\n");
}

}  // namespace
