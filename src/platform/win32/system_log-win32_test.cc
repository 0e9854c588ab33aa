#include "platform/win32/system_log-win32.h"

#include <gtest/gtest.h>

#include <string>

#include "event_messages.h"
#include "platform/file_system.h"

namespace {

// Wine keeps no event log to read back: its API's answers are checked, and
// the message table that gives Event Viewer each event's text.
TEST(Win32SystemLogTest, EveryLineIsReportedAndTheExecutableGivesItsText) {
  Win32SystemLog log;
  for (const LogSeverity severity :
       {LogSeverity::kInformation, LogSeverity::kWarning, LogSeverity::kError}) {
    EXPECT_TRUE(log.Write(severity, "Port lost: COM1", true));
  }
  const std::string executable = JoinPath(ProgramFolder(), "QuellorService.exe");
  const HMODULE module = LoadLibraryExA(executable.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(module, nullptr) << executable;
  for (const DWORD id : {MSG_LOG_INFORMATION, MSG_LOG_WARNING, MSG_LOG_ERROR}) {
    const std::string line = "Low disk space: 5 MB free for C:\\Reports (MinFreeMegabytes=100)";
    DWORD_PTR arguments[] = {reinterpret_cast<DWORD_PTR>(line.c_str())};
    char text[256] = {};
    const DWORD size =
        FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY, module, id, 0,
                       text, sizeof text, reinterpret_cast<va_list*>(arguments));
    EXPECT_EQ(std::string(text, size), line + "\r\n") << std::hex << id;
  }
  FreeLibrary(module);
}

}  // namespace
