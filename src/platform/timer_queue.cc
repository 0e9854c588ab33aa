#include "platform/timer_queue.h"

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "util/numbered_error.h"

namespace {

struct Entry {
  std::function<void()> on_fire;
  uint64_t sequence = 0;  // creation order breaks ties between equal due times
  int32_t interval = 0;
  bool enabled = false;
  bool alive = true;
  int64_t due = 0;

  bool CanFire() const { return alive && enabled && interval > 0; }
};

}  // namespace

struct TimerQueue::State {
  std::function<int64_t()> now_ms;
  std::vector<std::shared_ptr<Entry>> entries;
  uint64_t next_sequence = 0;
};

class TimerQueue::QueueTimer : public Timer {
 public:
  QueueTimer(std::weak_ptr<State> state, std::shared_ptr<Entry> entry)
      : state_(std::move(state)), entry_(std::move(entry)) {}

  ~QueueTimer() override {
    entry_->alive = false;
    if (auto state = state_.lock()) std::erase(state->entries, entry_);
  }

  void SetEnabled(bool enabled) override {
    if (enabled && !entry_->enabled) Restart();
    entry_->enabled = enabled;
  }
  bool Enabled() const override { return entry_->enabled; }

  void SetInterval(int32_t milliseconds) override {
    if (milliseconds < 0 || milliseconds > kMaxInterval) {
      throw NumberedError(kErrInvalidPropertyValue,
                          "Invalid property value: timer interval " + std::to_string(milliseconds));
    }
    entry_->interval = milliseconds;
    if (entry_->enabled) Restart();
  }
  int32_t Interval() const override { return entry_->interval; }

 private:
  void Restart() {
    if (auto state = state_.lock()) entry_->due = state->now_ms() + entry_->interval;
  }

  std::weak_ptr<State> state_;
  std::shared_ptr<Entry> entry_;
};

TimerQueue::TimerQueue(std::function<int64_t()> now_ms) : state_(std::make_shared<State>()) {
  state_->now_ms = std::move(now_ms);
}

TimerQueue::~TimerQueue() = default;

std::unique_ptr<Timer> TimerQueue::CreateTimer(std::function<void()> on_fire) {
  auto entry = std::make_shared<Entry>();
  entry->on_fire = std::move(on_fire);
  entry->sequence = state_->next_sequence++;
  state_->entries.push_back(entry);
  return std::make_unique<QueueTimer>(state_, std::move(entry));
}

int64_t TimerQueue::NextTimeoutMs() const {
  const int64_t now = state_->now_ms();
  int64_t next = -1;
  for (const auto& entry : state_->entries) {
    if (!entry->CanFire()) continue;
    const int64_t wait = std::max<int64_t>(0, entry->due - now);
    if (next < 0 || wait < next) next = wait;
  }
  return next;
}

void TimerQueue::RunDue() {
  const int64_t now = state_->now_ms();
  // A snapshot keeps every entry alive while handlers change the timers.
  std::vector<std::shared_ptr<Entry>> due;
  for (const auto& entry : state_->entries) {
    if (entry->CanFire() && entry->due <= now) due.push_back(entry);
  }
  std::sort(due.begin(), due.end(), [](const auto& a, const auto& b) {
    return a->due != b->due ? a->due < b->due : a->sequence < b->sequence;
  });
  for (const auto& entry : due) {
    if (!entry->CanFire() || entry->due > now) continue;
    entry->due = now + entry->interval;
    entry->on_fire();
  }
}

int64_t SteadyNowMs() {
  using std::chrono::duration_cast;
  using std::chrono::milliseconds;
  return duration_cast<milliseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}
