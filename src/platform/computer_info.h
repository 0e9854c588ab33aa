#ifndef QUELLOR_PLATFORM_COMPUTER_INFO_H_
#define QUELLOR_PLATFORM_COMPUTER_INFO_H_

#include <string>

// The computer's name with surrounding blanks removed, or "" when the system
// cannot tell it. Windows: the NetBIOS name. Elsewhere: the host name up to
// its first dot, letter case kept (the name a per-machine settings file is
// looked up by, on a file system that tells case apart).
std::string GetMachineName();

#endif  // QUELLOR_PLATFORM_COMPUTER_INFO_H_
