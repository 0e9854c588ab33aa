#ifndef QUELLOR_PLATFORM_DEFAULTS_H_
#define QUELLOR_PLATFORM_DEFAULTS_H_

#include <string>

// The built-in value of the setting DataFolder: "C:\Reports" on Windows,
// "/var/lib/quellor/reports" elsewhere.
std::string DefaultDataFolder();

#endif  // QUELLOR_PLATFORM_DEFAULTS_H_
