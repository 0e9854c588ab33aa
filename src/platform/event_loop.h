#ifndef QUELLOR_PLATFORM_EVENT_LOOP_H_
#define QUELLOR_PLATFORM_EVENT_LOOP_H_

#include <cstdint>
#include <functional>
#include <memory>

// A window timer: fires its handler on the loop thread every Interval()
// milliseconds while enabled.
class Timer {
 public:
  // The largest interval a timer takes, in milliseconds.
  static constexpr int32_t kMaxInterval = 65535;

  virtual ~Timer() = default;

  // Enabling a disabled timer starts its countdown from zero; enabling an
  // enabled one changes nothing. A timer with interval 0 never fires.
  virtual void SetEnabled(bool enabled) = 0;
  virtual bool Enabled() const = 0;

  // Takes 0 ... kMaxInterval; any other value raises error 380 and leaves the
  // interval unchanged. Changing the interval of an enabled timer restarts
  // its countdown.
  virtual void SetInterval(int32_t milliseconds) = 0;
  virtual int32_t Interval() const = 0;
};

// The one event loop of the process. Every handler (timers, serial port,
// service requests, window) runs on the loop's thread, one at a time, each to
// its end before the next event is taken.
class EventLoop {
 public:
  virtual ~EventLoop() = default;

  // A new timer, disabled, with interval 0.
  virtual std::unique_ptr<Timer> CreateTimer(std::function<void()> on_fire) = 0;

  // Handles events until Quit.
  virtual void Run() = 0;

  // No further event is handled once the current handler returns.
  virtual void Quit() = 0;
};

#endif  // QUELLOR_PLATFORM_EVENT_LOOP_H_
