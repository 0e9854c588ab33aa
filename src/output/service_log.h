#ifndef QUELLOR_OUTPUT_SERVICE_LOG_H_
#define QUELLOR_OUTPUT_SERVICE_LOG_H_

#include <string>

#include "platform/clock.h"

// Appends "dd-mmm-yyyy hh:nn:ss  " + message + CR LF to QuellorService.log in
// the log folder, opening and closing the file on every call. Never fails
// towards its caller: an entry that cannot be written is lost.
void WriteLog(const std::string& message);

// Where WriteLog writes and whose clock stamps it: the program folder and the
// system clock unless changed (tests point it elsewhere).
void SetLogTarget(const std::string& folder, const Clock& clock);

#endif  // QUELLOR_OUTPUT_SERVICE_LOG_H_
