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

// The UTF-8 form of each byte of ISO-8859-1 (byte = code point).
inline std::array<std::string, 256> Latin1() {
  std::array<std::string, 256> table;
  for (unsigned byte = 0; byte < 256; ++byte) {
    table[byte] = byte < 0x80 ? std::string(1, static_cast<char>(byte))
                              : std::string{static_cast<char>(0xC0 | byte >> 6),
                                            static_cast<char>(0x80 | (byte & 0x3F))};
  }
  return table;
}

// The UTF-8 form of each byte of a one-byte code page: to_utf8(byte, &utf8)
// converts each byte from 0x80 up; one it cannot convert stays its ISO-8859-1
// character.
template <typename ToUtf8>
std::array<std::string, 256> CodePageTable(ToUtf8 to_utf8) {
  std::array<std::string, 256> table = Latin1();
  for (unsigned byte = 0x80; byte < 256; ++byte) {
    std::string utf8;
    if (to_utf8(std::string(1, static_cast<char>(byte)), &utf8)) table[byte] = utf8;
  }
  return table;
}

// This system's regional settings twice: in the system's own encoding (for
// file names, the log and the window) and as UTF-8 (for the index, which
// declares no encoding). The two are the same bytes on a UTF-8 system.
// Also the code page that report text, one byte per received character, is
// written in.
struct SystemRegionalSettings {
  RegionalSettings local;
  RegionalSettings utf8;
  // The UTF-8 form of each byte of that code page.
  std::array<std::string, 256> code_page = Latin1();
};

// Reads this system's regional settings; call once at start, before the
// first time stamp. Windows: the user default locale (LocalSystem's is the
// system locale). POSIX: the LC_TIME locale of the environment, which it
// makes the process's own. Settings that cannot be read or converted to
// UTF-8 give the English ones. The code page: Windows: the ANSI code page;
// POSIX: the locale's codeset when it has one byte a character, otherwise
// windows-1252; a byte it does not define stays its ISO-8859-1 character.
SystemRegionalSettings ReadSystemRegionalSettings();

#endif  // QUELLOR_PLATFORM_REGIONAL_SETTINGS_H_
