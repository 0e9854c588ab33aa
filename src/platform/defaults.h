#ifndef QUELLOR_PLATFORM_DEFAULTS_H_
#define QUELLOR_PLATFORM_DEFAULTS_H_

#include <string>

// The built-in value of the setting DataFolder: "C:\Reports" on Windows,
// "/var/lib/quellor/reports" elsewhere.
std::string DefaultDataFolder();

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
