#include "platform/timer_queue.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/error_of.h"
#include "util/numbered_error.h"

namespace {

class TimerQueueTest : public ::testing::Test {
 protected:
  // Steps the clock to each due time up to now + ms, as a loop would.
  void Advance(int64_t ms) {
    const int64_t end = now_ + ms;
    for (int64_t wait = queue_.NextTimeoutMs(); wait >= 0 && now_ + wait <= end;
         wait = queue_.NextTimeoutMs()) {
      now_ += wait;
      queue_.RunDue();
    }
    now_ = end;
  }

  std::unique_ptr<Timer> Make(const std::string& name, int32_t interval, bool enabled = true) {
    auto timer =
        queue_.CreateTimer([this, name] { fired_.push_back(name + "@" + std::to_string(now_)); });
    timer->SetInterval(interval);
    timer->SetEnabled(enabled);
    return timer;
  }

  int64_t now_ = 1000;
  TimerQueue queue_{[this] { return now_; }};
  std::vector<std::string> fired_;
};

TEST_F(TimerQueueTest, NewTimerIsDisabledWithIntervalZero) {
  auto timer = queue_.CreateTimer([] {});
  EXPECT_FALSE(timer->Enabled());
  EXPECT_EQ(timer->Interval(), 0);
  EXPECT_EQ(queue_.NextTimeoutMs(), -1);
}

TEST_F(TimerQueueTest, IntervalOutsideRangeIsRefusedAndKept) {
  auto timer = Make("t", 700);
  for (int32_t bad : {-1, 65536, INT32_MAX, INT32_MIN}) {
    EXPECT_EQ(ErrorOf([&] { timer->SetInterval(bad); }), kErrInvalidPropertyValue) << bad;
    EXPECT_EQ(timer->Interval(), 700);
  }
  timer->SetInterval(Timer::kMaxInterval);
  EXPECT_EQ(timer->Interval(), 65535);
}

TEST_F(TimerQueueTest, IntervalZeroNeverFires) {
  auto timer = Make("t", 0);
  EXPECT_EQ(queue_.NextTimeoutMs(), -1);
  Advance(100000);
  EXPECT_TRUE(fired_.empty());
}

TEST_F(TimerQueueTest, FiresEveryIntervalWhileEnabled) {
  auto timer = Make("t", 1000);
  EXPECT_EQ(queue_.NextTimeoutMs(), 1000);
  Advance(3500);
  EXPECT_EQ(fired_, (std::vector<std::string>{"t@2000", "t@3000", "t@4000"}));
  timer->SetEnabled(false);
  Advance(5000);
  EXPECT_EQ(fired_.size(), 3u);
}

TEST_F(TimerQueueTest, LateRunFiresOnceAndReArmsFromNow) {
  auto timer = Make("t", 1000);
  now_ += 2500;
  EXPECT_EQ(queue_.NextTimeoutMs(), 0);
  queue_.RunDue();
  EXPECT_EQ(fired_, (std::vector<std::string>{"t@3500"}));
  EXPECT_EQ(queue_.NextTimeoutMs(), 1000);
}

TEST_F(TimerQueueTest, EnablingRestartsOnlyADisabledTimer) {
  auto timer = Make("t", 1000);
  Advance(600);
  timer->SetEnabled(true);  // already enabled: the countdown goes on
  Advance(400);
  EXPECT_EQ(fired_, (std::vector<std::string>{"t@2000"}));
  Advance(600);
  timer->SetEnabled(false);
  timer->SetEnabled(true);  // restarts from zero
  Advance(999);
  EXPECT_EQ(fired_.size(), 1u);
  Advance(1);
  EXPECT_EQ(fired_.back(), "t@3600");
}

TEST_F(TimerQueueTest, ChangingTheIntervalOfAnEnabledTimerRestartsIt) {
  auto timer = Make("t", 1000);
  Advance(900);
  timer->SetInterval(500);
  Advance(499);
  EXPECT_TRUE(fired_.empty());
  Advance(1);
  EXPECT_EQ(fired_, (std::vector<std::string>{"t@2400"}));
}

TEST_F(TimerQueueTest, DueTimersFireInDueOrderThenCreationOrder) {
  auto late = Make("late", 300);
  auto first = Make("first", 200);
  auto second = Make("second", 200);
  now_ += 300;
  queue_.RunDue();
  EXPECT_EQ(fired_, (std::vector<std::string>{"first@1300", "second@1300", "late@1300"}));
}

TEST_F(TimerQueueTest, HandlerMayDisableOrDestroyOtherDueTimers) {
  std::unique_ptr<Timer> disabled, destroyed;
  auto killer = queue_.CreateTimer([&] {
    fired_.push_back("killer");
    disabled->SetEnabled(false);
    destroyed.reset();
  });
  killer->SetInterval(100);
  killer->SetEnabled(true);
  disabled = Make("disabled", 100);
  destroyed = Make("destroyed", 100);
  Advance(100);
  EXPECT_EQ(fired_, (std::vector<std::string>{"killer"}));
}

TEST_F(TimerQueueTest, HandlerMayDestroyItsOwnTimer) {
  std::unique_ptr<Timer> self;
  int calls = 0;
  self = queue_.CreateTimer([&] {
    ++calls;
    self.reset();
  });
  self->SetInterval(10);
  self->SetEnabled(true);
  Advance(100);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(queue_.NextTimeoutMs(), -1);
}

TEST_F(TimerQueueTest, HandlerReArmingItselfIsNotFiredTwiceInOneRun) {
  std::unique_ptr<Timer> self;
  int calls = 0;
  self = queue_.CreateTimer([&] {
    ++calls;
    self->SetEnabled(false);
    self->SetEnabled(true);
  });
  self->SetInterval(10);
  self->SetEnabled(true);
  Advance(10);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(queue_.NextTimeoutMs(), 10);
}

TEST(TimerQueueLifetimeTest, TimerMayOutliveItsQueue) {
  std::unique_ptr<Timer> timer;
  {
    TimerQueue queue([] { return int64_t{0}; });
    timer = queue.CreateTimer([] {});
  }
  timer->SetInterval(10);
  timer->SetEnabled(true);
  EXPECT_TRUE(timer->Enabled());
}

}  // namespace
