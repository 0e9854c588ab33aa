#include "platform/posix/regional_settings-posix.h"

#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

#include <array>
#include <cstring>
#include <string>

#include "platform/regional_settings.h"

namespace {

// Converts text from the codeset to UTF-8; false when it cannot.
bool ToUtf8(const char* codeset, const std::string& text, std::string* utf8) {
  const iconv_t converter = iconv_open("UTF-8", codeset);
  if (converter == reinterpret_cast<iconv_t>(-1)) return false;
  std::string in = text;
  std::string out(text.size() * 4 + 4, '\0');
  char* in_at = in.data();
  char* out_at = out.data();
  size_t in_left = in.size(), out_left = out.size();
  const bool done =
      iconv(converter, &in_at, &in_left, &out_at, &out_left) != static_cast<size_t>(-1);
  iconv_close(converter);
  if (!done) return false;
  *utf8 = out.substr(0, out.size() - out_left);
  return true;
}

// Converts every text of settings from the codeset to UTF-8; false when one
// cannot be.
bool AllToUtf8(const char* codeset, RegionalSettings* settings) {
  for (std::string& month : settings->month_abbreviations) {
    if (!ToUtf8(codeset, month, &month)) return false;
  }
  return ToUtf8(codeset, settings->time_separator, &settings->time_separator);
}

// The settings of the process's LC_TIME locale, in that locale's codeset.
RegionalSettings FromLocale(locale_t time_locale) {
  RegionalSettings settings;
  for (int i = 0; i < 12; ++i) {
    settings.month_abbreviations[i] = nl_langinfo_l(ABMON_1 + i, time_locale);
  }
  settings.time_separator = TimeSeparatorOf(nl_langinfo_l(T_FMT, time_locale));
  return settings;
}

// The UTF-8 form of each byte of codeset, or of windows-1252 when codeset
// is UTF-8 (report text has one byte a character).
std::array<std::string, 256> CodePage(const char* codeset) {
  if (std::strcmp(codeset, "UTF-8") == 0) codeset = "WINDOWS-1252";
  return CodePageTable([codeset](const std::string& byte, std::string* utf8) {
    return ToUtf8(codeset, byte, utf8);
  });
}

}  // namespace

std::string TimeSeparatorOf(const std::string& time_format) {
  for (size_t at = time_format.find('%'); at != std::string::npos;
       at = time_format.find('%', at + 1)) {
    size_t letter = at + 1;
    // E and O select alternative forms of the same field.
    if (letter < time_format.size() && (time_format[letter] == 'E' || time_format[letter] == 'O')) {
      ++letter;
    }
    if (letter >= time_format.size()) break;
    const char field = time_format[letter];
    if (field == '%') {  // a percent sign, not a field
      at = letter;
      continue;
    }
    if (field == 'T' || field == 'R' || field == 'r') return ":";
    if (std::strchr("HIkl", field) == nullptr) continue;
    const size_t end = time_format.find('%', letter + 1);
    const std::string between = time_format.substr(letter + 1, end - letter - 1);
    return between.empty() || end == std::string::npos ? ":" : between;
  }
  return ":";
}

SystemRegionalSettings ReadSystemRegionalSettings() {
  // Only the time category follows the environment: every other one stays
  // "C", so nothing else the program formats or compares changes.
  const char* name = setlocale(LC_TIME, "");
  const locale_t time_locale = newlocale(LC_ALL_MASK, name != nullptr ? name : "C", nullptr);
  if (time_locale == nullptr) return {};
  SystemRegionalSettings system{FromLocale(time_locale), {}};
  system.utf8 = system.local;
  const char* codeset = nl_langinfo_l(CODESET, time_locale);
  if (std::strcmp(codeset, "UTF-8") != 0 && !AllToUtf8(codeset, &system.utf8)) system = {};
  system.code_page = CodePage(codeset);
  freelocale(time_locale);
  return system;
}
