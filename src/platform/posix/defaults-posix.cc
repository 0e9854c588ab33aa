#include "platform/defaults.h"

std::string PlatformDataFolder() { return "/var/lib/quellor/reports"; }
