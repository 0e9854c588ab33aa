#include <unistd.h>

#include <string>
#include <string_view>

#include "platform/computer_info.h"
#include "util/trim.h"

std::string GetMachineName() {
  char name[256] = {};
  if (gethostname(name, sizeof(name) - 1) != 0) return "";
  const std::string_view host(name);
  // The short name, as `hostname -s` prints it.
  return std::string(Trim(host.substr(0, host.find('.')), " "));
}
