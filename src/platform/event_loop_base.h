#ifndef QUELLOR_PLATFORM_EVENT_LOOP_BASE_H_
#define QUELLOR_PLATFORM_EVENT_LOOP_BASE_H_

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/event_loop.h"
#include "platform/timer_queue.h"

// What every platform's event loop shares: the timers and the quit flag.
// A platform supplies only the wait for its own events.
class EventLoopBase : public EventLoop {
 public:
  std::unique_ptr<Timer> CreateTimer(std::function<void()> on_fire) final;

  // Handles events until Quit; a Quit before Run makes it return at once.
  void Run() final;
  void Quit() final { quit_ = true; }

  // How many times the wait has returned: an idle loop wakes once per due
  // timer and no more often.
  uint64_t wakeups() const { return wakeups_; }

 protected:
  // The timers run on now_ms, a monotonic clock in milliseconds.
  explicit EventLoopBase(std::function<int64_t()> now_ms = SteadyNowMs);

  // Waits until one of the platform's events arrives or timeout_ms have
  // passed (-1: no timer is due, wait for an event), then runs the handlers
  // of the events that arrived, stopping early once quitting().
  virtual void WaitAndDispatch(int64_t timeout_ms) = 0;

  bool quitting() const { return quit_; }

 private:
  TimerQueue timers_;
  bool quit_ = false;
  uint64_t wakeups_ = 0;
};

#endif  // QUELLOR_PLATFORM_EVENT_LOOP_BASE_H_
