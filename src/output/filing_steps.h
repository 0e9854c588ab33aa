#ifndef QUELLOR_OUTPUT_FILING_STEPS_H_
#define QUELLOR_OUTPUT_FILING_STEPS_H_

#include <exception>
#include <string>

#include "output/service_log.h"
#include "platform/file_system.h"

// What the report writer and the index writer share: their line end, and
// steps whose failure becomes one log line with its reason.

// The line end of every file they write.
inline constexpr char kCrLf[] = "\r\n";

// Runs step, which returns false with a reason when it fails; one that
// raises fails too, with the exception's text as the reason.
template <typename Step>
bool RunStep(Step step, std::string* reason) {
  try {
    return step(reason);
  } catch (const std::exception& e) {
    *reason = e.what();
  }
  return false;
}

// RunStep, with a failure told in one log line: prefix followed by the
// reason.
template <typename Step>
bool LogFailure(const std::string& prefix, Step step) {
  std::string reason;
  if (RunStep(step, &reason)) return true;
  WriteLog(prefix + reason, LogSeverity::kError);
  return false;
}

// Commits file; false with *reason "cannot write '<path>': <system text>"
// when it cannot be.
inline bool Committed(ReplacingFile* file, const std::string& path, std::string* reason) {
  std::string error;
  if (file->Commit(&error)) return true;
  *reason = "cannot write '" + path + "': " + error;
  return false;
}

#endif  // QUELLOR_OUTPUT_FILING_STEPS_H_
