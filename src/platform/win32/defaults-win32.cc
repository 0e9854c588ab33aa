#include "platform/defaults.h"

std::string PlatformDataFolder() { return "C:\\Reports"; }
