#ifndef QUELLOR_PLATFORM_POSIX_EVENT_LOOP_POSIX_H_
#define QUELLOR_PLATFORM_POSIX_EVENT_LOOP_POSIX_H_

#include <cstdint>
#include <functional>
#include <map>
#include <memory>

#include "platform/event_loop_base.h"

// The process's event loop on POSIX: one poll() over the watched descriptors
// that waits exactly until the next timer is due, so an idle process sleeps
// instead of spinning.
class PosixEventLoop : public EventLoopBase {
 public:
  PosixEventLoop();
  ~PosixEventLoop() override;

  // Calls on_readable on the loop thread whenever fd is readable, has hung
  // up or has an error, until Unwatch; the handler must then read or unwatch,
  // or the loop spins. An fd found closed is called once and unwatched.
  // Watching a watched fd replaces its handler.
  void WatchReadable(int fd, std::function<void()> on_readable);
  // Stops watching fd (an fd not watched is ignored); may be called from
  // its own handler.
  void Unwatch(int fd);

 private:
  void WaitAndDispatch(int64_t timeout_ms) override;

  std::map<int, std::shared_ptr<std::function<void()>>> watched_;
};

#endif  // QUELLOR_PLATFORM_POSIX_EVENT_LOOP_POSIX_H_
