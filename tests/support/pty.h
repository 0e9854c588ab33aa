#ifndef QUELLOR_TESTS_SUPPORT_PTY_H_
#define QUELLOR_TESTS_SUPPORT_PTY_H_

// POSIX only: a pseudo-terminal standing in for the printer's line.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <string>

// A pseudo-terminal pair: the test writes to the master, the port under test
// opens the slave by its path. The master is not inherited by programs the
// test starts, or closing it would hang up nothing.
class Pty {
 public:
  Pty() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
      ADD_FAILURE() << "no pseudo-terminal";
      return;
    }
    slave_path_ = ptsname(master_);
  }
  ~Pty() { CloseMaster(); }
  Pty(const Pty&) = delete;
  Pty& operator=(const Pty&) = delete;

  const std::string& slave_path() const { return slave_path_; }

  // Writes all of bytes to the line, however the pty takes them.
  void Write(const std::string& bytes) {
    for (size_t done = 0; done < bytes.size();) {
      const ssize_t n = write(master_, bytes.data() + done, bytes.size() - done);
      ASSERT_GT(n, 0);
      done += static_cast<size_t>(n);
    }
  }

  // The slave's line mode (read through the master, as Linux allows).
  termios Mode() const {
    termios mode{};
    EXPECT_EQ(tcgetattr(master_, &mode), 0);
    return mode;
  }

  // Hangs up the line: the slave's reader sees an error or end of file.
  void CloseMaster() {
    if (master_ >= 0) close(master_);
    master_ = -1;
  }

 private:
  int master_ = -1;
  std::string slave_path_;
};

#endif  // QUELLOR_TESTS_SUPPORT_PTY_H_
