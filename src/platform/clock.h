#ifndef QUELLOR_PLATFORM_CLOCK_H_
#define QUELLOR_PLATFORM_CLOCK_H_

// A local calendar date and time, to the second.
struct LocalTime {
  int year = 0;
  int month = 1;  // 1 = January ... 12 = December
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;

  bool operator==(const LocalTime&) const = default;
};

// The local wall clock. Every time stamp of the program (log lines, report
// names, the index, the status bar) is read through one of these, so that
// tests can fix the time.
class Clock {
 public:
  virtual ~Clock() = default;
  // The current local time; any thread.
  virtual LocalTime Now() const = 0;
};

// The operating system's local clock.
const Clock& SystemClock();

// The clock the program runs on: SystemClock(), unless the environment
// variable QUELLOR_TEST_CLOCK holds a local time "yyyy-mm-dd hh:nn:ss". For
// tests only: the clock then starts at that time and runs on from there, so
// that a test can pick the month of what the program files.
const Clock& ProcessClock();

#endif  // QUELLOR_PLATFORM_CLOCK_H_
