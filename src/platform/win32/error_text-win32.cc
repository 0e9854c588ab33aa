#include "platform/win32/error_text-win32.h"

#include <string>

#include "util/trim.h"

std::string SystemErrorText(DWORD code) {
  char* buffer = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
  std::string text(length > 0 ? Trim({buffer, length}, " \r\n") : "");
  LocalFree(buffer);
  return text.empty() ? "Error " + std::to_string(code) : text;
}
