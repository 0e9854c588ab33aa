#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/win32/event_loop-win32.h"

namespace {

// Ends a Run that would otherwise wait for ever: a failed test, not a hang.
std::unique_ptr<Timer> Watchdog(Win32EventLoop& loop, bool* expired) {
  auto timer = loop.CreateTimer([&loop, expired] {
    *expired = true;
    loop.Quit();
  });
  timer->SetInterval(Timer::kMaxInterval);
  timer->SetEnabled(true);
  return timer;
}

TEST(Win32EventLoop, PostedTasksRunInOrderOnTheLoopThread) {
  Win32EventLoop loop;
  bool expired = false;
  const auto watchdog = Watchdog(loop, &expired);
  const DWORD loop_thread = GetCurrentThreadId();
  std::vector<int> order;
  std::vector<DWORD> threads;
  constexpr int kTasks = 100;
  std::thread poster([&] {
    for (int i = 0; i < kTasks; ++i) {
      loop.Post([&, i] {
        order.push_back(i);
        threads.push_back(GetCurrentThreadId());
        if (i == kTasks - 1) loop.Quit();
      });
    }
  });
  loop.Run();
  poster.join();
  EXPECT_FALSE(expired);
  ASSERT_EQ(order.size(), static_cast<size_t>(kTasks));
  for (int i = 0; i < kTasks; ++i) {
    EXPECT_EQ(order[i], i);
    EXPECT_EQ(threads[i], loop_thread);
  }
}

TEST(Win32EventLoop, QuitStopsAfterTheCurrentHandler) {
  Win32EventLoop loop;
  std::vector<std::string> ran;
  loop.Post([&] {
    ran.push_back("first");
    loop.Quit();
  });
  loop.Post([&] {
    ran.push_back("second");
    loop.Quit();
  });
  loop.Run();
  EXPECT_EQ(ran, std::vector<std::string>{"first"});
  // The task left behind runs in the next Run.
  loop.Run();
  EXPECT_EQ(ran, (std::vector<std::string>{"first", "second"}));
}

TEST(Win32EventLoop, TimersFireOnTheLoopThreadWithoutSpinning) {
  Win32EventLoop loop;
  bool expired = false;
  const auto watchdog = Watchdog(loop, &expired);
  int ticks = 0;
  std::unique_ptr<Timer> tick = loop.CreateTimer([&] {
    if (++ticks == 3) loop.Quit();
  });
  tick->SetInterval(30);
  tick->SetEnabled(true);
  loop.Run();
  EXPECT_FALSE(expired);
  EXPECT_EQ(ticks, 3);
  // One wake-up per tick, give or take the window's own messages; a loop
  // that polled would wake thousands of times in the 90 ms.
  EXPECT_LE(loop.wakeups(), 15u);
}

TEST(Win32EventLoop, WindowMessagesReachTheHandlerAndCloseKeepsTheWindow) {
  Win32EventLoop loop;
  bool expired = false;
  const auto watchdog = Watchdog(loop, &expired);
  ASSERT_NE(loop.window(), nullptr);
  std::vector<UINT> seen;
  loop.SetMessageHandler([&](UINT message, WPARAM, LPARAM, LRESULT* result) {
    if (message != WM_USER + 1) return false;
    seen.push_back(message);
    *result = 0;
    loop.Quit();
    return true;
  });
  SendMessageA(loop.window(), WM_CLOSE, 0, 0);  // unhandled: ignored
  EXPECT_TRUE(IsWindow(loop.window()));
  // Posted from another thread: handled on the loop thread by Run.
  std::thread([&] { PostMessageA(loop.window(), WM_USER + 1, 0, 0); }).join();
  loop.Run();
  loop.SetMessageHandler(nullptr);
  EXPECT_FALSE(expired);
  EXPECT_EQ(seen, std::vector<UINT>{WM_USER + 1});
}

}  // namespace
