#include "platform/posix/system_log-posix.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <syslog.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace {

// What reaches standard error (a pipe here) so far.
std::string Drain(int fd) {
  std::string text;
  char chunk[256];
  for (ssize_t n; (n = read(fd, chunk, sizeof chunk)) > 0;) text.append(chunk, n);
  return text;
}

TEST(PosixSystemLogTest, TheJournalGetsPrioritiesAndStandardErrorWhatNothingElseTook) {
  int pipe_ends[2];
  ASSERT_EQ(pipe2(pipe_ends, O_NONBLOCK | O_CLOEXEC), 0);
  std::vector<std::string> journal;
  bool journal_takes = true;
  PosixSystemLog with_journal(
      [&](int priority, const std::string& message) {
        if (journal_takes) journal.push_back(std::to_string(priority) + " " + message);
        return journal_takes;
      },
      pipe_ends[1]);
  EXPECT_TRUE(with_journal.Write(LogSeverity::kInformation, "started", true));
  EXPECT_TRUE(with_journal.Write(LogSeverity::kWarning, "Low disk space", false));
  EXPECT_TRUE(with_journal.Write(LogSeverity::kError, "Port lost", true));
  EXPECT_EQ(journal, (std::vector<std::string>{std::to_string(LOG_INFO) + " started",
                                               std::to_string(LOG_WARNING) + " Low disk space",
                                               std::to_string(LOG_ERR) + " Port lost"}));
  EXPECT_EQ(Drain(pipe_ends[0]), "");
  journal_takes = false;
  EXPECT_TRUE(with_journal.Write(LogSeverity::kError, "journal away", false));

  PosixSystemLog without(nullptr, pipe_ends[1]);
  EXPECT_FALSE(without.Write(LogSeverity::kError, "in the file", true));
  EXPECT_TRUE(without.Write(LogSeverity::kInformation, "only here", false));
  EXPECT_EQ(Drain(pipe_ends[0]), "journal away\nonly here\n");
  close(pipe_ends[0]);
  close(pipe_ends[1]);
}

TEST(PosixSystemLogTest, StandardErrorIsTheJournalOnlyWhenJournalStreamNamesIt) {
  struct stat error_file;
  ASSERT_EQ(fstat(STDERR_FILENO, &error_file), 0);
  const std::string own =
      std::to_string(error_file.st_dev) + ":" + std::to_string(error_file.st_ino);
  const char* outer = getenv("JOURNAL_STREAM");
  const std::string kept = outer != nullptr ? outer : "";
  for (const std::string& stream : {own, own + "1", std::string("")}) {
    setenv("JOURNAL_STREAM", stream.c_str(), 1);
    EXPECT_EQ(StandardErrorIsJournal(), stream == own) << stream;
  }
  if (outer != nullptr) {
    setenv("JOURNAL_STREAM", kept.c_str(), 1);
  } else {
    unsetenv("JOURNAL_STREAM");
  }
}

}  // namespace
