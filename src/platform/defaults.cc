#include "platform/defaults.h"

#include <cstdlib>

namespace {

std::string& ReplacedDataFolder() {
  static std::string folder;
  return folder;
}

}  // namespace

std::string FolderFromEnvironment(const char* variable, const std::string& otherwise) {
  const char* folder = std::getenv(variable);
  return folder != nullptr && *folder != '\0' ? folder : otherwise;
}

std::string DefaultDataFolder() {
  const std::string& replaced = ReplacedDataFolder();
  return replaced.empty() ? PlatformDataFolder() : replaced;
}

void SetDefaultDataFolder(const std::string& folder) { ReplacedDataFolder() = folder; }

ProgramFolders ProgramFoldersFor(const std::string& program_folder) {
  return {FolderFromEnvironment("QUELLOR_SETTINGS_FOLDER", program_folder),
          FolderFromEnvironment("QUELLOR_LOG_FOLDER", program_folder),
          FolderFromEnvironment("QUELLOR_STATE_FOLDER", program_folder)};
}
