#ifndef QUELLOR_TESTS_SUPPORT_ERROR_OF_H_
#define QUELLOR_TESTS_SUPPORT_ERROR_OF_H_

#include <functional>
#include <string>

#include "util/numbered_error.h"

// The number of the NumberedError that step raises, 0 if none; its
// description goes to *description when given.
inline int ErrorOf(const std::function<void()>& step, std::string* description = nullptr) {
  try {
    step();
  } catch (const NumberedError& e) {
    if (description) *description = e.description();
    return e.number();
  }
  return 0;
}

#endif  // QUELLOR_TESTS_SUPPORT_ERROR_OF_H_
