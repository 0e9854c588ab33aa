#ifndef QUELLOR_PLATFORM_TIMER_QUEUE_H_
#define QUELLOR_PLATFORM_TIMER_QUEUE_H_

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/event_loop.h"

// The timers of one event loop, written once for every platform: a loop asks
// NextTimeoutMs() how long it may wait, waits for its own events at most that
// long, then calls RunDue(). Timers may outlive the queue (they then never
// fire); a handler may enable, disable or destroy any timer, itself included.
class TimerQueue {
 public:
  // now_ms is a monotonic clock in milliseconds.
  explicit TimerQueue(std::function<int64_t()> now_ms);
  ~TimerQueue();
  TimerQueue(const TimerQueue&) = delete;
  TimerQueue& operator=(const TimerQueue&) = delete;

  // A new timer, disabled, with interval 0, with EventLoop's Timer semantics.
  std::unique_ptr<Timer> CreateTimer(std::function<void()> on_fire);

  // Milliseconds until the next enabled timer is due (0 if due now), -1 if
  // no timer can fire.
  int64_t NextTimeoutMs() const;

  // Fires each timer that is due, in order of due time, once, re-arming it
  // one interval after now. A timer that an earlier handler disabled,
  // re-armed or destroyed in this call is skipped.
  void RunDue();

 private:
  struct State;
  class QueueTimer;

  std::shared_ptr<State> state_;
};

// Milliseconds of std::chrono::steady_clock, for the real loops.
int64_t SteadyNowMs();

#endif  // QUELLOR_PLATFORM_TIMER_QUEUE_H_
