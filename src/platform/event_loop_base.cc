#include "platform/event_loop_base.h"

#include <utility>

EventLoopBase::EventLoopBase(std::function<int64_t()> now_ms) : timers_(std::move(now_ms)) {}

std::unique_ptr<Timer> EventLoopBase::CreateTimer(std::function<void()> on_fire) {
  // Quit stops the loop after the current handler, even among timers due
  // at the same moment.
  return timers_.CreateTimer([this, on_fire = std::move(on_fire)] {
    if (!quit_) on_fire();
  });
}

void EventLoopBase::Run() {
  while (!quit_) {
    WaitAndDispatch(timers_.NextTimeoutMs());
    ++wakeups_;
    if (!quit_) timers_.RunDue();
  }
  quit_ = false;
}
