#include "platform/defaults.h"

namespace {

std::string& ReplacedDataFolder() {
  static std::string folder;
  return folder;
}

}  // namespace

std::string DefaultDataFolder() {
  const std::string& replaced = ReplacedDataFolder();
  return replaced.empty() ? PlatformDataFolder() : replaced;
}

void SetDefaultDataFolder(const std::string& folder) { ReplacedDataFolder() = folder; }
