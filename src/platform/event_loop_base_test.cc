#include "platform/event_loop_base.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// The shared loop over a wait that returns at once, its clock moved on by
// the time the loop asked to wait: every platform's loop, without a platform.
class FakeWaitLoop : public EventLoopBase {
 public:
  FakeWaitLoop() : EventLoopBase([this] { return now_; }) {}

  std::vector<int64_t> waits;  // the timeout of every wait, in order

 protected:
  void WaitAndDispatch(int64_t timeout_ms) override {
    waits.push_back(timeout_ms);
    if (timeout_ms < 0) {
      ADD_FAILURE() << "waits for ever";
      Quit();
    }
    now_ += timeout_ms;
  }

 private:
  int64_t now_ = 0;
};

TEST(EventLoopBaseTest, QuitBeforeRunReturnsAtOnceAndLaterStopsAfterTheCurrentHandler) {
  FakeWaitLoop loop;
  loop.Quit();
  loop.Run();
  EXPECT_TRUE(loop.waits.empty());
  int fired = 0;
  const auto first = loop.CreateTimer([&] {
    ++fired;
    loop.Quit();
  });
  const auto second = loop.CreateTimer([&] { ++fired; });
  for (Timer* timer : {first.get(), second.get()}) {
    timer->SetInterval(10);
    timer->SetEnabled(true);
  }
  loop.Run();
  EXPECT_EQ(fired, 1);  // not the second, due at the same moment
  EXPECT_EQ(loop.waits, std::vector<int64_t>{10});
}

TEST(EventLoopBaseTest, WaitsUntilTheNextDueTimerAndWakesOncePerTick) {
  FakeWaitLoop loop;
  int ticks = 0;
  const auto tick = loop.CreateTimer([&] {
    if (++ticks == 3) loop.Quit();
  });
  const auto never = loop.CreateTimer([] { ADD_FAILURE() << "interval 0 fired"; });
  never->SetEnabled(true);
  tick->SetInterval(30);
  tick->SetEnabled(true);
  loop.Run();
  EXPECT_EQ(loop.waits, (std::vector<int64_t>{30, 30, 30}));
  EXPECT_EQ(loop.wakeups(), 3u);
}

}  // namespace
