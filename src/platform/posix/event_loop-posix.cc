#include "platform/posix/event_loop-posix.h"

#include <poll.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <string>
#include <system_error>
#include <vector>

PosixEventLoop::PosixEventLoop() : timers_(SteadyNowMs) {}

PosixEventLoop::~PosixEventLoop() = default;

std::unique_ptr<Timer> PosixEventLoop::CreateTimer(std::function<void()> on_fire) {
  // Quit stops the loop after the current handler, even among timers due
  // at the same moment.
  return timers_.CreateTimer([this, on_fire = std::move(on_fire)] {
    if (!quit_) on_fire();
  });
}

void PosixEventLoop::Run() {
  while (!quit_) WaitAndDispatch();
  quit_ = false;
}

void PosixEventLoop::WatchReadable(int fd, std::function<void()> on_readable) {
  watched_[fd] = std::make_shared<std::function<void()>>(std::move(on_readable));
}

void PosixEventLoop::Unwatch(int fd) { watched_.erase(fd); }

void PosixEventLoop::WaitAndDispatch() {
  std::vector<pollfd> fds;
  for (const auto& [fd, handler] : watched_) fds.push_back({fd, POLLIN, 0});
  const int64_t timeout = timers_.NextTimeoutMs();
  const int wait = timeout > INT_MAX ? INT_MAX : static_cast<int>(timeout);
  const int ready = poll(fds.data(), fds.size(), wait);
  ++wakeups_;
  if (ready < 0 && errno != EINTR) {
    throw std::system_error(errno, std::generic_category(), "poll");
  }
  for (const pollfd& p : fds) {
    if (quit_) return;
    if (ready <= 0 || p.revents == 0) continue;
    // A handler may have unwatched or replaced this fd meanwhile; the copy
    // keeps a replaced handler alive while it runs.
    auto it = watched_.find(p.fd);
    if (it == watched_.end()) continue;
    auto handler = it->second;
    (*handler)();
  }
  if (!quit_) timers_.RunDue();
}
