#ifndef QUELLOR_PLATFORM_SERIAL_SETTINGS_H_
#define QUELLOR_PLATFORM_SERIAL_SETTINGS_H_

#include <cstdint>
#include <string>

#include "util/numbered_error.h"

// The line parameters a serial port's Settings text names.
struct SerialSettings {
  enum class StopBits { kOne, kOneAndHalf, kTwo };

  uint32_t speed = 9600;
  char parity = 'n';  // n, e, o, m or s
  int data_bits = 8;  // 5 to 8
  StopBits stop_bits = StopBits::kOne;
};

// Parses "speed,parity,data bits,stop bits" ("19200,n,8,1"): a standard
// speed from 110 to 921600, parity n/e/o/m/s in either case, 5 to 8 data
// bits, 1, 1.5 or 2 stop bits, nothing else (no blanks). Raises error 380
// with a description naming the text and the reason otherwise.
SerialSettings ParseSerialSettings(const std::string& text);

// Error 380 refusing the settings text text; why says what is wrong.
NumberedError SettingsRefused(const std::string& text, const std::string& why);

#endif  // QUELLOR_PLATFORM_SERIAL_SETTINGS_H_
