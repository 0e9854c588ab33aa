#ifndef QUELLOR_OUTPUT_SERVICE_LOG_H_
#define QUELLOR_OUTPUT_SERVICE_LOG_H_

#include <exception>
#include <string>

#include "platform/clock.h"
#include "platform/system_log.h"
#include "util/numbered_error.h"

// Appends "dd-mmm-yyyy hh:nn:ss  " + message + CR LF to QuellorService.log
// (QuellorService_NAME.log for instance NAME) in the log folder, opening and closing the file on
// every call, and passes the message with its severity to the system log, if one is set. Never
// fails towards its caller. When the file cannot be written, the system log is told so once (until
// the file takes a line again), and it then holds the only record of the lines.
void WriteLog(const std::string& message, LogSeverity severity = LogSeverity::kInformation);

// Where WriteLog writes and whose clock stamps it: the program folder and the
// system clock unless changed (tests point it elsewhere), and the instance
// whose log it is.
void SetLogTarget(const std::string& folder, const Clock& clock, const std::string& instance = "");

// Where WriteLog passes every line besides the file; not owned, nullptr for
// nowhere (the start). The caller keeps it alive while it is set.
void SetSystemLog(SystemLog* system_log);

// Runs a handler's steps under its error handler: an error is logged as
// where + "[number] description" (an error without a number as 51) and the
// call returns false instead of raising.
template <typename Steps>
bool RunLoggingErrors(const std::string& where, Steps&& steps) {
  try {
    steps();
    return true;
  } catch (const NumberedError& e) {
    WriteLog(where + NumberedText(e.number(), e.description()), LogSeverity::kError);
  } catch (const std::exception& e) {
    WriteLog(where + NumberedText(kErrInternal, e.what()), LogSeverity::kError);
  }
  return false;
}

#endif  // QUELLOR_OUTPUT_SERVICE_LOG_H_
