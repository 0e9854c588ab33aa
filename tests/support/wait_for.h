#ifndef QUELLOR_TESTS_SUPPORT_WAIT_FOR_H_
#define QUELLOR_TESTS_SUPPORT_WAIT_FOR_H_

#include <chrono>
#include <functional>
#include <thread>

// Polls condition until it holds (true) or patience has passed (false).
inline bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds patience) {
  const auto deadline = std::chrono::steady_clock::now() + patience;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

#endif  // QUELLOR_TESTS_SUPPORT_WAIT_FOR_H_
