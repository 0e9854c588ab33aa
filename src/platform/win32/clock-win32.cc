#include <windows.h>

#include "platform/clock.h"

namespace {

class Win32Clock : public Clock {
 public:
  LocalTime Now() const override {
    SYSTEMTIME local;
    GetLocalTime(&local);
    return {local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond};
  }
};

}  // namespace

const Clock& SystemClock() {
  static const Win32Clock clock;
  return clock;
}
