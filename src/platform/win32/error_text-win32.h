#ifndef QUELLOR_PLATFORM_WIN32_ERROR_TEXT_WIN32_H_
#define QUELLOR_PLATFORM_WIN32_ERROR_TEXT_WIN32_H_

#include <windows.h>

#include <string>

// The system's text for a Win32 error code (GetLastError), without the
// closing line break; "Error " and the number when the system has none.
std::string SystemErrorText(DWORD code);

#endif  // QUELLOR_PLATFORM_WIN32_ERROR_TEXT_WIN32_H_
