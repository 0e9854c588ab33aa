#ifndef QUELLOR_BENCH_BENCH_SUPPORT_H_
#define QUELLOR_BENCH_BENCH_SUPPORT_H_

// What the benchmarks share: a stepping clock, a scratch folder and
// journal text.

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "output/service_log.h"
#include "platform/clock.h"

namespace fs = std::filesystem;

// A clock that moves on step seconds per reading from 1 Jan 2005, so that
// no two reports share a name and the writer never searches for a free
// one. Its months have 28 days.
class SteppingClock : public Clock {
 public:
  explicit SteppingClock(int step = 1) : step_(step) {}
  LocalTime Now() const override {
    const int s = seconds_;
    seconds_ += step_;
    const int day = s / 86400;
    return {2005 + day / (28 * 12), 1 + day / 28 % 12, 1 + day % 28,
            s / 3600 % 24,          s / 60 % 60,       s % 60};
  }

 private:
  const int step_;
  mutable int seconds_ = 0;
};

// A fresh folder for one benchmark, removed afterwards.
class BenchFolder {
 public:
  BenchFolder() {
    const char* base = std::getenv("QUELLOR_BENCH_FOLDER");
    path_ = fs::path(base != nullptr ? base : fs::temp_directory_path().string()) /
            ("quellor_bench_" + std::to_string(std::random_device()()));
    fs::create_directories(path_);
    SetLogTarget(path_.string(), SystemClock());
  }
  ~BenchFolder() { fs::remove_all(path_); }

  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

// A journal of about size bytes in 80-column lines as the control system
// prints them. With markup, every line holds "&", "<" and ">" (the worst
// case for escaping); without, none does (the usual case).
inline std::string Journal(size_t size, bool markup) {
  const std::string line =
      markup
          ? "24-01-05 19:50:34  TIC-1013 <HI> ALARM  PV=123.4 degC & SP=120.0      ACK  OP07\r\n"
          : "24-01-05 19:50:34  TIC-1013  HI  ALARM  PV=123.4 degC   SP=120.0      ACK  OP07\r\n";
  std::string text;
  text.reserve(size + line.size());
  while (text.size() < size) text += line;
  text.resize(size);
  return text;
}

#endif  // QUELLOR_BENCH_BENCH_SUPPORT_H_
