#include <unistd.h>

#include <string>

#include "platform/computer_info.h"

std::string GetMachineName() {
  char name[256] = {};
  if (gethostname(name, sizeof(name) - 1) != 0) return "";
  std::string host(name);
  // The short name, as `hostname -s` prints it.
  host = host.substr(0, host.find('.'));
  const auto first = host.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return host.substr(first, host.find_last_not_of(' ') - first + 1);
}
