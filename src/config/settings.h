#ifndef QUELLOR_CONFIG_SETTINGS_H_
#define QUELLOR_CONFIG_SETTINGS_H_

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "config/ini_read_writer.h"

// The rules of the settings file: where it is, its section and keys, and how
// values are read. Start-up applies them in its own order.

inline constexpr char kSettingsSection[] = "Quellor Service";

// One key of the section: the text a missing key reads as, and the bounds
// its whole number is held to (how, SettingsReader's readings say).
struct Setting {
  const char* key;
  const char* default_value;  // nullptr: the platform's own (DefaultDataFolder)
  std::optional<int32_t> lower = std::nullopt;
  std::optional<int32_t> upper = std::nullopt;
};

// Every key start-up reads, in its order: key, default, lower, upper bound.
// The shipped sample file holds each with its default, except DataFolder,
// whose default differs by platform.
inline constexpr Setting kDataFolder{"DataFolder", nullptr};
inline constexpr Setting kMinimumLineLength{"MinimumLineLength", "12", 1};
inline constexpr Setting kMaximumLineLength{"MaximumLineLength", "110", std::nullopt, 160};
inline constexpr Setting kVisible{"Visible", "false"};
inline constexpr Setting kSerialSettings{"Settings", "19200,n,8,1"};
inline constexpr Setting kEndOfFileTimeInterval{"EndOfFileTimeInterval", "2500", 1};
inline constexpr Setting kCommPort{"CommPort", "1", 1};
inline constexpr Setting kCommDevice{"CommDevice", ""};  // names the device instead of CommPort
inline constexpr Setting kSilenceAlarmMinutes{"SilenceAlarmMinutes", "0", 0};
inline constexpr Setting kMinFreeMegabytes{"MinFreeMegabytes", "100", 0};
// For CommDevice=tcp-listen:...: the peers that may print, and the minutes
// after which a silent connection is closed.
inline constexpr Setting kAllowFrom{"AllowFrom", ""};
inline constexpr Setting kConnectionIdleMinutes{"ConnectionIdleMinutes", "10", 1, 1440};
inline constexpr Setting kSettingsTable[] = {
    kDataFolder,          kMinimumLineLength,     kMaximumLineLength, kVisible,
    kSerialSettings,      kEndOfFileTimeInterval, kCommPort,          kCommDevice,
    kSilenceAlarmMinutes, kMinFreeMegabytes,      kAllowFrom,         kConnectionIdleMinutes};

// The settings file in folder: the per-machine file, else the common one;
// found is false when neither exists (path is then the common one, and every
// read gives its default).
struct SettingsFile {
  std::string path;
  bool found = false;
};
// An instance's files carry its name: MACHINE_NAME.ini, QuellorService_NAME.ini.
SettingsFile ChooseSettingsFile(const std::string& folder, const std::string& machine_name,
                                const std::string& instance);

// The value of a numeric text: the whole text apart from surrounding blanks
// is a decimal number (optional sign, digits with optional point and
// fraction, optional exponent). Nothing for any other text, "" included.
std::optional<double> ParseNumber(const std::string& text);

// The nearest whole number, an exact half going to the even neighbour.
// Raises error 6 "Overflow" outside the signed 32-bit range.
int32_t ToWholeNumber(double value);

// A count read from a setting: the whole number of a numeric text when it is
// lower or more and fits 32 bits; default_value for any other text. Never
// raises.
int32_t ToCount(const std::string& text, int32_t lower, int32_t default_value);

// Raises error 6 "Overflow" outside the signed 16-bit range.
int16_t ToPortNumber(int32_t value);

// "true", "1" or "yes" in any letter case; nothing else, blanks included.
bool IsVisibleValue(const std::string& text);

// The data folder to use: configured when it names an existing folder, else
// the fallback folder, created when missing, after logging
// "Directory <configured> not found. Defaulting to <fallback>". Raises a
// numbered error when the fallback cannot be created.
std::string ResolveDataFolder(const std::string& configured, const std::string& fallback);

// The settings file as start-up reads it: each key through GetProfile with
// its default from the table. Numbers are whole numbers as ToWholeNumber
// makes them; the readings differ in what falls back to what.
class SettingsReader {
 public:
  // default_data_folder is DataFolder's default.
  SettingsReader(std::string path, std::string default_data_folder)
      : path_(std::move(path)), default_data_folder_(std::move(default_data_folder)) {}

  // The value of setting, or its default when the file or key is missing.
  std::string Text(const Setting& setting) const;

  // Stores the default's number in *value, then the value's, raised to the
  // lower and lowered to the upper bound; a text that is not numeric leaves
  // the default. Raises error 6 beyond 32 bits, *value then at the default.
  void ReadClamped(const Setting& setting, int32_t* value) const;

  // The value's number when it lies within the bounds; nothing when it is
  // not numeric or outside them. Raises error 6 beyond 32 bits.
  std::optional<int32_t> Bounded(const Setting& setting) const;

  // ToCount of the value with the lower bound, the default's number for any
  // text it refuses. Never raises.
  int32_t Count(const Setting& setting) const;

 private:
  IniReadWriter ini_;
  std::string path_;
  std::string default_data_folder_;
};

#endif  // QUELLOR_CONFIG_SETTINGS_H_
