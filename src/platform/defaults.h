#ifndef QUELLOR_PLATFORM_DEFAULTS_H_
#define QUELLOR_PLATFORM_DEFAULTS_H_

#include <string>

// The built-in value of the setting DataFolder: "C:\Reports" on Windows,
// "/var/lib/quellor/reports" elsewhere, unless SetDefaultDataFolder changed
// it.
std::string DefaultDataFolder();

// Replaces the built-in value; "" gives the platform's own back. Tests point
// it into their own folders, so that a machine's real data folder (left by
// an installed package) changes no outcome.
void SetDefaultDataFolder(const std::string& folder);

// The platform's own built-in value (defaults-posix.cc, defaults-win32.cc).
std::string PlatformDataFolder();

// The folder the environment variable names; otherwise when it is unset or
// empty.
std::string FolderFromEnvironment(const char* variable, const std::string& otherwise);

// The folders of the program's own files.
struct ProgramFolders {
  std::string settings;  // the settings file, per-machine or common
  std::string log;       // QuellorService.log
  std::string state;     // the spool and the "Data" fallback folder
};

// program_folder for each, unless the environment names another folder in
// QUELLOR_SETTINGS_FOLDER, QUELLOR_LOG_FOLDER or QUELLOR_STATE_FOLDER (an
// empty value names none). A service manager's unit sets them to keep the
// files where its system wants them; a program started from its own folder
// keeps them beside the executable.
ProgramFolders ProgramFoldersFor(const std::string& program_folder);

#endif  // QUELLOR_PLATFORM_DEFAULTS_H_
