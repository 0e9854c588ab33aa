#ifndef QUELLOR_PLATFORM_POSIX_SYSTEM_LOG_POSIX_H_
#define QUELLOR_PLATFORM_POSIX_SYSTEM_LOG_POSIX_H_

#include <functional>
#include <string>

#include "platform/system_log.h"

// The system log on Linux: every line to systemd's journal with the syslog
// priority of its severity, when there is a journal; a line that neither the
// log file nor the journal took to standard error (under systemd the journal
// keeps that too, from a terminal it is shown).
class PosixSystemLog : public SystemLog {
 public:
  // Sends message to the journal with a syslog priority; false when the
  // journal did not take it.
  using Journal = std::function<bool(int priority, const std::string& message)>;

  // journal null: there is none. error_fd: standard error, or a test's pipe.
  PosixSystemLog(Journal journal, int error_fd);

  bool Write(LogSeverity severity, const std::string& message, bool in_file) override;

 private:
  Journal journal_;
  int error_fd_;
};

// True when standard error is systemd's journal ($JOURNAL_STREAM names its
// device and inode), as for a service systemd started.
bool StandardErrorIsJournal();

#endif  // QUELLOR_PLATFORM_POSIX_SYSTEM_LOG_POSIX_H_
