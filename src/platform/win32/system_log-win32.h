#ifndef QUELLOR_PLATFORM_WIN32_SYSTEM_LOG_WIN32_H_
#define QUELLOR_PLATFORM_WIN32_SYSTEM_LOG_WIN32_H_

#include <windows.h>

#include <string>

#include "platform/system_log.h"

// The system log on Windows: every line is an event of the source "Quellor"
// in the Application log, of the type of its severity, with the line as its
// one insertion string. -install registers the source with this executable
// as its message file, whose message table (event_messages.mc) makes the
// line the event's text; the events are reported whether or not it did.
class Win32SystemLog : public SystemLog {
 public:
  Win32SystemLog();
  ~Win32SystemLog() override;
  Win32SystemLog(const Win32SystemLog&) = delete;
  Win32SystemLog& operator=(const Win32SystemLog&) = delete;

  // The log file's outcome changes nothing: every line is reported.
  bool Write(LogSeverity severity, const std::string& message, bool in_file) override;

 private:
  HANDLE source_;
};

#endif  // QUELLOR_PLATFORM_WIN32_SYSTEM_LOG_WIN32_H_
