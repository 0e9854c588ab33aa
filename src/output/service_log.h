#ifndef QUELLOR_OUTPUT_SERVICE_LOG_H_
#define QUELLOR_OUTPUT_SERVICE_LOG_H_

#include <exception>
#include <string>

#include "platform/clock.h"
#include "util/numbered_error.h"

// Appends "dd-mmm-yyyy hh:nn:ss  " + message + CR LF to QuellorService.log in
// the log folder, opening and closing the file on every call. Never fails
// towards its caller: an entry that cannot be written is lost.
void WriteLog(const std::string& message);

// Where WriteLog writes and whose clock stamps it: the program folder and the
// system clock unless changed (tests point it elsewhere).
void SetLogTarget(const std::string& folder, const Clock& clock);

// Runs a handler's steps under its error handler: an error is logged as
// where + "[number] description" (an error without a number as 51) and the
// call returns false instead of raising.
template <typename Steps>
bool RunLoggingErrors(const std::string& where, Steps&& steps) {
  try {
    steps();
    return true;
  } catch (const NumberedError& e) {
    WriteLog(where + NumberedText(e.number(), e.description()));
  } catch (const std::exception& e) {
    WriteLog(where + NumberedText(kErrInternal, e.what()));
  }
  return false;
}

#endif  // QUELLOR_OUTPUT_SERVICE_LOG_H_
