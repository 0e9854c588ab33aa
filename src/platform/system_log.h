#ifndef QUELLOR_PLATFORM_SYSTEM_LOG_H_
#define QUELLOR_PLATFORM_SYSTEM_LOG_H_

#include <memory>
#include <string>

// How serious a log line is, for the platform's own log.
enum class LogSeverity { kInformation, kWarning, kError };

// The platform's own log, where monitoring looks, beside the service's log
// file: systemd's journal on Linux, the Windows event log on Windows.
class SystemLog {
 public:
  virtual ~SystemLog() = default;

  // Passes on one line of the service log (its message, without the time
  // stamp). in_file false: the log file did not take it, so that this is
  // its only record. False when the platform's log did not take it either.
  virtual bool Write(LogSeverity severity, const std::string& message, bool in_file) = 0;
};

// This platform's: on Linux the journal (priorities info, warning, err)
// when standard error is connected to it, as under systemd, and standard
// error for the lines the log file did not take; on Windows the event log,
// source "Quellor" in the Application log (information, warning, error).
std::unique_ptr<SystemLog> CreateSystemLog();

#endif  // QUELLOR_PLATFORM_SYSTEM_LOG_H_
