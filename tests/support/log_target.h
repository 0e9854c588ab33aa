#ifndef QUELLOR_TESTS_SUPPORT_LOG_TARGET_H_
#define QUELLOR_TESTS_SUPPORT_LOG_TARGET_H_

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "output/service_log.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "support/temp_folder.h"

// The messages of the complete lines of a service log, without their time
// stamps (a line still being written is left out).
inline std::vector<std::string> LogLines(const std::string& log) {
  std::vector<std::string> lines;
  constexpr size_t kStampLength = sizeof("24-Jan-2005 19:50:34  ") - 1;
  for (size_t start = 0, end; (end = log.find("\r\n", start)) != std::string::npos;
       start = end + 2) {
    lines.push_back(log.substr(start + kStampLength, end - start - kStampLength));
  }
  return lines;
}

// How many times part occurs in text, overlaps counted.
inline size_t Occurrences(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// Points the service log at folder, stamped by clock, while the object lives,
// and back at the program's own log afterwards. As a fixture member it is
// declared after the folder and the clock it names.
class ScopedLogTarget {
 public:
  ScopedLogTarget(const std::string& folder, const Clock& clock)
      : path_((std::filesystem::path(folder) / "QuellorService.log").string()) {
    SetLogTarget(folder, clock);
  }
  ~ScopedLogTarget() { SetLogTarget(ProgramFolder(), SystemClock()); }
  ScopedLogTarget(const ScopedLogTarget&) = delete;
  ScopedLogTarget& operator=(const ScopedLogTarget&) = delete;

  // The log's bytes; empty while there is none.
  std::string Text() const { return ReadBytes(path_); }

 private:
  std::string path_;
};

#endif  // QUELLOR_TESTS_SUPPORT_LOG_TARGET_H_
