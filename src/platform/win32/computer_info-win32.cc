#include <windows.h>

#include <algorithm>
#include <string>

#include "platform/computer_info.h"
#include "util/trim.h"

std::string GetMachineName() {
  // A buffer of 64 blanks, as the name is read into; the NUL and what
  // follows it are no part of the name.
  std::string buffer(64, ' ');
  DWORD size = static_cast<DWORD>(buffer.size());
  if (!GetComputerNameA(buffer.data(), &size)) return "";
  buffer.erase(std::remove(buffer.begin(), buffer.end(), '\0'), buffer.end());
  return std::string(Trim(buffer, " "));
}
