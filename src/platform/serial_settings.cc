#include "platform/serial_settings.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

#include "util/numbered_error.h"

namespace {

constexpr uint32_t kSpeeds[] = {110,    300,    600,    1200,   2400,  4800,  9600,
                                14400,  19200,  28800,  38400,  56000, 57600, 115200,
                                128000, 230400, 256000, 460800, 921600};

std::vector<std::string> SplitFields(const std::string& text) {
  std::vector<std::string> fields(1);
  for (const char c : text) {
    if (c == ',') {
      fields.emplace_back();
    } else {
      fields.back() += c;
    }
  }
  return fields;
}

bool ParseSpeed(const std::string& field, uint32_t* speed) {
  if (field.empty() || field.size() > 6 ||
      !std::all_of(field.begin(), field.end(), [](unsigned char c) { return std::isdigit(c); })) {
    return false;
  }
  *speed = static_cast<uint32_t>(std::stoul(field));
  return std::find(std::begin(kSpeeds), std::end(kSpeeds), *speed) != std::end(kSpeeds);
}

bool ParseStopBits(const std::string& field, SerialSettings::StopBits* stop_bits) {
  if (field == "1") {
    *stop_bits = SerialSettings::StopBits::kOne;
  } else if (field == "1.5") {
    *stop_bits = SerialSettings::StopBits::kOneAndHalf;
  } else if (field == "2") {
    *stop_bits = SerialSettings::StopBits::kTwo;
  } else {
    return false;
  }
  return true;
}

}  // namespace

SerialSettings ParseSerialSettings(const std::string& text) {
  const std::vector<std::string> fields = SplitFields(text);
  if (fields.size() != 4) throw SettingsRefused(text, "expected speed,parity,data bits,stop bits");
  SerialSettings settings;
  if (!ParseSpeed(fields[0], &settings.speed)) throw SettingsRefused(text, "unsupported speed");
  const char parity = fields[1].size() == 1 ? static_cast<char>(std::tolower(fields[1][0])) : 0;
  if (parity == 0 || std::strchr("neoms", parity) == nullptr) {
    throw SettingsRefused(text, "parity must be n, e, o, m or s");
  }
  settings.parity = parity;
  if (fields[2].size() != 1 || fields[2][0] < '5' || fields[2][0] > '8') {
    throw SettingsRefused(text, "data bits must be 5 to 8");
  }
  settings.data_bits = fields[2][0] - '0';
  if (!ParseStopBits(fields[3], &settings.stop_bits))
    throw SettingsRefused(text, "stop bits must be 1, 1.5 or 2");
  return settings;
}

NumberedError SettingsRefused(const std::string& text, const std::string& why) {
  return NumberedError(kErrInvalidPropertyValue,
                       "Invalid property value: settings \"" + text + "\": " + why);
}
