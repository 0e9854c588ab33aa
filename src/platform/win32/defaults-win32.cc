#include "platform/defaults.h"

std::string DefaultDataFolder() { return "C:\\Reports"; }
