#ifndef QUELLOR_PLATFORM_WIN32_SC_HANDLE_WIN32_H_
#define QUELLOR_PLATFORM_WIN32_SC_HANDLE_WIN32_H_

#include <windows.h>

#include <memory>
#include <type_traits>

// A handle of the Service Control Manager or of a service, closed when it
// goes; header-only, so that the installer's custom actions share it.
struct ScHandleCloser {
  void operator()(SC_HANDLE handle) const { CloseServiceHandle(handle); }
};
using ScHandle = std::unique_ptr<std::remove_pointer_t<SC_HANDLE>, ScHandleCloser>;

#endif  // QUELLOR_PLATFORM_WIN32_SC_HANDLE_WIN32_H_
