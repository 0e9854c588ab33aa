#include <windows.h>

#include <string>

#include "platform/regional_settings.h"

namespace {

// One item of the user default locale in the ANSI code page; false when the
// locale cannot tell it or it is empty.
bool LocaleText(LCTYPE item, std::string* text) {
  char buffer[80];
  // The length counts the closing NUL.
  if (GetLocaleInfoA(LOCALE_USER_DEFAULT, item, buffer, sizeof buffer) <= 1) return false;
  *text = buffer;
  return true;
}

// Non-empty text in the ANSI code page as UTF-8; false when it cannot be
// converted.
bool ToUtf8(const std::string& text, std::string* utf8) {
  const int size = static_cast<int>(text.size());
  std::wstring wide(MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0), L'\0');
  if (wide.empty() ||
      MultiByteToWideChar(CP_ACP, 0, text.data(), size, wide.data(), wide.size()) == 0) {
    return false;
  }
  const int wide_size = static_cast<int>(wide.size());
  std::string out(
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), wide_size, nullptr, 0, nullptr, nullptr), '\0');
  if (out.empty() || WideCharToMultiByte(CP_UTF8, 0, wide.data(), wide_size, out.data(),
                                         static_cast<int>(out.size()), nullptr, nullptr) == 0) {
    return false;
  }
  *utf8 = out;
  return true;
}

// Reads the locale's item into text and its UTF-8 form into utf8.
bool ReadItem(LCTYPE item, std::string* text, std::string* utf8) {
  return LocaleText(item, text) && ToUtf8(*text, utf8);
}

}  // namespace

SystemRegionalSettings ReadSystemRegionalSettings() {
  SystemRegionalSettings system;
  // A byte the ANSI code page does not define (or a lead byte) stays its
  // ISO-8859-1 character.
  system.code_page = CodePageTable(ToUtf8);
  for (int i = 0; i < 12; ++i) {
    if (!ReadItem(LOCALE_SABBREVMONTHNAME1 + i, &system.local.month_abbreviations[i],
                  &system.utf8.month_abbreviations[i])) {
      return {};
    }
  }
  if (!ReadItem(LOCALE_STIME, &system.local.time_separator, &system.utf8.time_separator)) {
    return {};
  }
  return system;
}
