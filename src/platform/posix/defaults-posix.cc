#include "platform/defaults.h"

std::string DefaultDataFolder() { return "/var/lib/quellor/reports"; }
