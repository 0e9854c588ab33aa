// Win32ServiceControl's installation with the Service Control Manager and
// its store of settings in the registry.

#include <memory>
#include <string>
#include <type_traits>

#include "platform/file_system.h"
#include "platform/win32/service_control-win32.h"

namespace {

// A crashed or hung service is restarted after a minute, every time; the
// count of failures starts again after a day without one.
constexpr DWORD kRestartDelayMs = 60 * 1000;
constexpr DWORD kFailureResetSeconds = 24 * 60 * 60;

constexpr const char* kDescription =
    "Files the journals that the process control system prints on a serial line as XML and HTML "
    "reports.";

struct ScHandleCloser {
  void operator()(SC_HANDLE handle) const { CloseServiceHandle(handle); }
};
using ScHandle = std::unique_ptr<std::remove_pointer_t<SC_HANDLE>, ScHandleCloser>;

}  // namespace

bool Win32ServiceControl::InstallService() {
  std::string path = ExecutablePath();
  if (path.empty()) return false;
  ScHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE));
  if (!manager) return false;
  // Quoted, so that a program folder with blanks names this executable.
  std::string command = "\"" + path + "\"";
  ScHandle service(CreateServiceA(manager.get(), kServiceName, kDisplayName, SERVICE_ALL_ACCESS,
                                  SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START,
                                  SERVICE_ERROR_NORMAL, command.c_str(), nullptr, nullptr, nullptr,
                                  nullptr, nullptr));
  if (!service) return false;
  SERVICE_DESCRIPTIONA description{const_cast<char*>(kDescription)};
  ChangeServiceConfig2A(service.get(), SERVICE_CONFIG_DESCRIPTION, &description);
  SC_ACTION restart[3];
  for (SC_ACTION& action : restart) action = {SC_ACTION_RESTART, kRestartDelayMs};
  SERVICE_FAILURE_ACTIONSA actions{kFailureResetSeconds, nullptr, nullptr, 3, restart};
  ChangeServiceConfig2A(service.get(), SERVICE_CONFIG_FAILURE_ACTIONS, &actions);
  return true;
}

bool Win32ServiceControl::UninstallService() {
  ScHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager) return false;
  ScHandle service(OpenServiceA(manager.get(), kServiceName, DELETE));
  // A running service is removed by the manager once it has stopped.
  return service && DeleteService(service.get());
}

void Win32ServiceControl::SaveServiceSetting(const std::string& section, const std::string& key,
                                             const std::string& value) {
  std::string path =
      std::string("SYSTEM\\CurrentControlSet\\Services\\") + kServiceName + "\\" + section;
  HKEY hkey = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_SET_VALUE, nullptr, &hkey, nullptr) != ERROR_SUCCESS) {
    return;
  }
  RegSetValueExA(hkey, key.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>(value.size() + 1));
  RegCloseKey(hkey);
}
