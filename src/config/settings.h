#ifndef QUELLOR_CONFIG_SETTINGS_H_
#define QUELLOR_CONFIG_SETTINGS_H_

#include <cstdint>
#include <optional>
#include <string>

// The rules of the settings file: where it is, its section and keys, and how
// values are read. Start-up applies them in its own order.

inline constexpr char kSettingsSection[] = "Quellor Service";

// The settings file: the per-machine file, else the common one; found is
// false when neither exists (path is then the common one, and every read
// gives its default).
struct SettingsFile {
  std::string path;
  bool found = false;
};
SettingsFile ChooseSettingsFile(const std::string& program_folder, const std::string& machine_name);

// The value of a numeric text: the whole text apart from surrounding blanks
// is a decimal number (optional sign, digits with optional point and
// fraction, optional exponent). Nothing for any other text, "" included.
std::optional<double> ParseNumber(const std::string& text);

// The nearest whole number, an exact half going to the even neighbour.
// Raises error 6 "Overflow" outside the signed 32-bit range.
int32_t ToWholeNumber(double value);

// A count read from a setting: the whole number of a numeric text when it is
// 0 or more and fits 32 bits; default_value for any other text. Never raises.
int32_t ToCount(const std::string& text, int32_t default_value);

// Raises error 6 "Overflow" outside the signed 16-bit range.
int16_t ToPortNumber(int32_t value);

// "true", "1" or "yes" in any letter case; nothing else, blanks included.
bool IsVisibleValue(const std::string& text);

// The data folder to use: configured when it names an existing folder, else
// the program folder's "Data" folder, created when missing, after logging
// "Directory <configured> not found. Defaulting to <fallback>". Raises a
// numbered error when the fallback cannot be created.
std::string ResolveDataFolder(const std::string& configured, const std::string& program_folder);

#endif  // QUELLOR_CONFIG_SETTINGS_H_
