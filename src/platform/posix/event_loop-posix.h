#ifndef QUELLOR_PLATFORM_POSIX_EVENT_LOOP_POSIX_H_
#define QUELLOR_PLATFORM_POSIX_EVENT_LOOP_POSIX_H_

#include <cstdint>
#include <functional>
#include <map>
#include <memory>

#include "platform/event_loop.h"
#include "platform/timer_queue.h"

// The process's event loop on POSIX: one poll() over the watched descriptors
// that waits exactly until the next timer is due, so an idle process sleeps
// instead of spinning.
class PosixEventLoop : public EventLoop {
 public:
  PosixEventLoop();
  ~PosixEventLoop() override;

  std::unique_ptr<Timer> CreateTimer(std::function<void()> on_fire) override;

  // Handles events until Quit; a Quit before Run makes it return at once.
  void Run() override;
  void Quit() override { quit_ = true; }

  // Calls on_readable on the loop thread whenever fd is readable, has hung
  // up or has an error, until Unwatch. Watching a watched fd replaces its
  // handler.
  void WatchReadable(int fd, std::function<void()> on_readable);
  void Unwatch(int fd);

  // How many times poll() has returned: an idle loop wakes once per due
  // timer and no more often.
  uint64_t wakeups() const { return wakeups_; }

 private:
  void WaitAndDispatch();

  TimerQueue timers_;
  std::map<int, std::shared_ptr<std::function<void()>>> watched_;
  bool quit_ = false;
  uint64_t wakeups_ = 0;
};

#endif  // QUELLOR_PLATFORM_POSIX_EVENT_LOOP_POSIX_H_
