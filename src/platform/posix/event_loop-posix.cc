#include "platform/posix/event_loop-posix.h"

#include <poll.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <string>
#include <system_error>
#include <vector>

PosixEventLoop::PosixEventLoop() = default;

PosixEventLoop::~PosixEventLoop() = default;

void PosixEventLoop::WatchReadable(int fd, std::function<void()> on_readable) {
  watched_[fd] = std::make_shared<std::function<void()>>(std::move(on_readable));
}

void PosixEventLoop::Unwatch(int fd) { watched_.erase(fd); }

void PosixEventLoop::WaitAndDispatch(int64_t timeout_ms) {
  std::vector<pollfd> fds;
  for (const auto& [fd, handler] : watched_) fds.push_back({fd, POLLIN, 0});
  const int wait = timeout_ms > INT_MAX ? INT_MAX : static_cast<int>(timeout_ms);
  const int ready = poll(fds.data(), fds.size(), wait);
  if (ready < 0 && errno != EINTR) {
    throw std::system_error(errno, std::generic_category(), "poll");
  }
  for (const pollfd& p : fds) {
    if (quitting()) return;
    if (ready <= 0 || p.revents == 0) continue;
    // A handler may have unwatched or replaced this fd meanwhile; the copy
    // keeps a replaced handler alive while it runs.
    auto it = watched_.find(p.fd);
    if (it == watched_.end()) continue;
    auto handler = it->second;
    // A descriptor closed while watched would be reported at every wait.
    if (p.revents & POLLNVAL) watched_.erase(it);
    (*handler)();
  }
}
