#ifndef QUELLOR_PLATFORM_REGIONAL_SETTINGS_H_
#define QUELLOR_PLATFORM_REGIONAL_SETTINGS_H_

#include <array>
#include <string>

// "Jan" ... "Dec": the English month abbreviations, index 0 = January.
inline std::array<std::string, 12> EnglishMonths() {
  return {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
}

// The regional month abbreviations and time separator that the date patterns
// use. English and ":" unless changed.
struct RegionalSettings {
  std::array<std::string, 12> month_abbreviations = EnglishMonths();
  std::string time_separator = ":";
};

// This system's regional settings twice: in the system's own encoding (for
// file names, the log and the window) and as UTF-8 (for the index, which
// declares no encoding). The two are the same bytes on a UTF-8 system.
struct SystemRegionalSettings {
  RegionalSettings local;
  RegionalSettings utf8;
};

// Reads this system's regional settings; call once at start, before the
// first time stamp. Windows: the user default locale (LocalSystem's is the
// system locale). POSIX: the LC_TIME locale of the environment, which it
// makes the process's own. Settings that cannot be read or converted to
// UTF-8 give the English ones.
SystemRegionalSettings ReadSystemRegionalSettings();

#endif  // QUELLOR_PLATFORM_REGIONAL_SETTINGS_H_
