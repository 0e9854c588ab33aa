#include "platform/posix/system_log-posix.h"

#include <sys/stat.h>
#include <syslog.h>
#include <systemd/sd-journal.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <utility>

namespace {

int PriorityOf(LogSeverity severity) {
  switch (severity) {
    case LogSeverity::kError:
      return LOG_ERR;
    case LogSeverity::kWarning:
      return LOG_WARNING;
    default:
      return LOG_INFO;
  }
}

bool ToJournal(int priority, const std::string& message) {
  return sd_journal_print(priority, "%s", message.c_str()) >= 0;
}

}  // namespace

PosixSystemLog::PosixSystemLog(Journal journal, int error_fd)
    : journal_(std::move(journal)), error_fd_(error_fd) {}

bool PosixSystemLog::Write(LogSeverity severity, const std::string& message, bool in_file) {
  if (journal_ && journal_(PriorityOf(severity), message)) return true;
  if (in_file) return false;
  const std::string line = message + "\n";
  return write(error_fd_, line.data(), line.size()) == static_cast<ssize_t>(line.size());
}

bool StandardErrorIsJournal() {
  const char* stream = std::getenv("JOURNAL_STREAM");
  struct stat error_file;
  if (stream == nullptr || fstat(STDERR_FILENO, &error_file) != 0) return false;
  const std::string expected =
      std::to_string(error_file.st_dev) + ":" + std::to_string(error_file.st_ino);
  return expected == stream;
}

std::unique_ptr<SystemLog> CreateSystemLog() {
  return std::make_unique<PosixSystemLog>(StandardErrorIsJournal() ? ToJournal : nullptr,
                                          STDERR_FILENO);
}
