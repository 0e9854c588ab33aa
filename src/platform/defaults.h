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

#endif  // QUELLOR_PLATFORM_DEFAULTS_H_
