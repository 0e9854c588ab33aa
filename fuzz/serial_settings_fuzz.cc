// The serial Settings text comes from the settings file: any text is either
// refused with error 380 or gives line parameters the port can be set to.

#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz_support.h"
#include "platform/serial_settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  SerialSettings settings;
  try {
    settings = ParseSerialSettings(text);
  } catch (const NumberedError& e) {
    Check(e.number() == kErrInvalidPropertyValue);
    return 0;
  }
  Check(settings.speed >= 110 && settings.speed <= 921600);
  Check(settings.parity != '\0' && std::strchr("neoms", settings.parity) != nullptr);
  Check(settings.data_bits >= 5 && settings.data_bits <= 8);
  return 0;
}
