#ifndef QUELLOR_PLATFORM_WIN32_EVENT_LOOP_WIN32_H_
#define QUELLOR_PLATFORM_WIN32_EVENT_LOOP_WIN32_H_

#include <windows.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include "platform/event_loop_base.h"

// The process's event loop on Windows: the thread that constructs it owns a
// hidden top-level window (a message-only one when no desktop is available,
// as for a service without a window station or Wine without a display) and
// must be the thread that calls Run. One MsgWaitForMultipleObjectsEx waits
// for window messages, posted tasks and the next timer at once, so an idle
// process sleeps instead of spinning.
class Win32EventLoop : public EventLoopBase {
 public:
  // What the window does with a message: true when handled, with *result set.
  using MessageHandler = std::function<bool(UINT message, WPARAM, LPARAM, LRESULT* result)>;

  Win32EventLoop();
  ~Win32EventLoop() override;
  Win32EventLoop(const Win32EventLoop&) = delete;
  Win32EventLoop& operator=(const Win32EventLoop&) = delete;

  // Runs task on the loop thread, after the tasks posted before it. Safe
  // from any thread; tasks still queued when the loop is destroyed are
  // dropped.
  void Post(std::function<void()> task);

  // The loop thread's window: the parent of the visible parts.
  HWND window() const { return window_; }
  // False when only a message-only window could be made (no desktop).
  bool has_desktop() const { return has_desktop_; }

  // Gives the window's messages to handler first (the visible parts use
  // it); unhandled messages get the default handling, except that closing
  // the window never destroys it.
  void SetMessageHandler(MessageHandler handler) { message_handler_ = std::move(handler); }

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  void CreateLoopWindow();
  void WaitAndDispatch(int64_t timeout_ms) override;
  void RunPostedTasks();
  void DispatchMessages();

  HWND window_ = nullptr;
  bool has_desktop_ = false;
  MessageHandler message_handler_;

  HANDLE posted_event_ = nullptr;  // auto-reset: set by Post
  std::mutex posted_mutex_;        // guards posted_
  std::deque<std::function<void()>> posted_;
};

#endif  // QUELLOR_PLATFORM_WIN32_EVENT_LOOP_WIN32_H_
