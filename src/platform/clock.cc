#include "platform/clock.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>

namespace {

using std::chrono::days;
using std::chrono::seconds;
using std::chrono::steady_clock;
using std::chrono::sys_days;
using std::chrono::sys_seconds;

// A clock that starts at a given local time and runs on with the monotonic
// clock.
class StartedClock : public Clock {
 public:
  explicit StartedClock(const LocalTime& start)
      : start_(sys_days(std::chrono::year_month_day(std::chrono::year(start.year),
                                                    std::chrono::month(start.month),
                                                    std::chrono::day(start.day))) +
               seconds(start.hour * 3600 + start.minute * 60 + start.second)),
        started_(steady_clock::now()) {}

  LocalTime Now() const override {
    const sys_seconds now =
        start_ + std::chrono::duration_cast<seconds>(steady_clock::now() - started_);
    const sys_days date = std::chrono::floor<days>(now);
    const std::chrono::year_month_day ymd(date);
    const std::chrono::hh_mm_ss time(now - date);
    return {static_cast<int>(ymd.year()),
            static_cast<int>(unsigned(ymd.month())),
            static_cast<int>(unsigned(ymd.day())),
            static_cast<int>(time.hours().count()),
            static_cast<int>(time.minutes().count()),
            static_cast<int>(time.seconds().count())};
  }

 private:
  sys_seconds start_;
  steady_clock::time_point started_;
};

// The start time the environment sets for tests, if any.
std::optional<LocalTime> TestClockStart() {
  const char* text = std::getenv("QUELLOR_TEST_CLOCK");
  LocalTime t;
  if (text == nullptr || std::sscanf(text, "%d-%d-%d %d:%d:%d", &t.year, &t.month, &t.day, &t.hour,
                                     &t.minute, &t.second) != 6) {
    return std::nullopt;
  }
  return t;
}

}  // namespace

const Clock& ProcessClock() {
  static const std::optional<LocalTime> start = TestClockStart();
  if (!start) return SystemClock();
  static const StartedClock clock(*start);
  return clock;
}
