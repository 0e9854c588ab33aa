// Win32ServiceControl's installation with the Service Control Manager and
// its store of settings in the registry.

#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/win32/sc_handle-win32.h"
#include "platform/win32/service_control-win32.h"

namespace {

// A crashed or hung service is restarted after a minute, every time; the
// count of failures starts again after a day without one.
constexpr DWORD kRestartDelayMs = 60 * 1000;
constexpr DWORD kFailureResetSeconds = 24 * 60 * 60;

constexpr const char* kDescription =
    "Files the journals that the process control system prints on a serial line as XML and HTML "
    "reports.";

// The event source "Quellor" in the Application log (the installer
// registers the same).
constexpr char kEventSourceKey[] =
    "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Quellor";

// Sets the value name of the key path under HKEY_LOCAL_MACHINE, creating the
// key when it is missing; failures are silent.
void SetMachineValue(const std::string& path, const char* name, DWORD type, const void* data,
                     DWORD size) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return;
  }
  RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(key);
}

// Makes executable the event source's message file, so that Event Viewer
// shows each event's text; every event type is used.
void AddEventSource(const std::string& executable) {
  SetMachineValue(kEventSourceKey, "EventMessageFile", REG_EXPAND_SZ, executable.c_str(),
                  static_cast<DWORD>(executable.size() + 1));
  const DWORD types = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;
  SetMachineValue(kEventSourceKey, "TypesSupported", REG_DWORD, &types, sizeof types);
}

// True when a service of this program other than name is installed, or when
// that cannot be told: the event source serves them all.
bool OtherServiceInstalled(SC_HANDLE manager, const std::string& name) {
  DWORD needed = 0, count = 0, resume = 0;
  EnumServicesStatusExA(manager, SC_ENUM_PROCESS_INFO, SERVICE_WIN32, SERVICE_STATE_ALL, nullptr, 0,
                        &needed, &count, &resume, nullptr);
  std::vector<BYTE> buffer(needed);
  if (!EnumServicesStatusExA(manager, SC_ENUM_PROCESS_INFO, SERVICE_WIN32, SERVICE_STATE_ALL,
                             buffer.data(), needed, &needed, &count, &resume, nullptr)) {
    return true;
  }
  const auto* services = reinterpret_cast<const ENUM_SERVICE_STATUS_PROCESSA*>(buffer.data());
  const std::string plain = ServiceNameFor("");
  for (DWORD i = 0; i < count; ++i) {
    const std::string other = services[i].lpServiceName;
    if (other != name && (other == plain || other.starts_with(plain + "_"))) return true;
  }
  return false;
}

}  // namespace

bool Win32ServiceControl::InstallService() {
  std::string path = ExecutablePath();
  if (path.empty()) return false;
  ScHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE));
  if (!manager) return false;
  // Quoted, so that a program folder with blanks names this executable; an
  // instance is told its name.
  std::string command = "\"" + path + "\"";
  if (!instance().empty()) command += " -instance " + instance();
  ScHandle service(CreateServiceA(
      manager.get(), ServiceNameFor(instance()).c_str(), ServiceTitle().c_str(), SERVICE_ALL_ACCESS,
      SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL, command.c_str(), nullptr,
      nullptr, nullptr, nullptr, nullptr));
  if (!service) return false;
  SERVICE_DESCRIPTIONA description{const_cast<char*>(kDescription)};
  ChangeServiceConfig2A(service.get(), SERVICE_CONFIG_DESCRIPTION, &description);
  SC_ACTION restart[3];
  for (SC_ACTION& action : restart) action = {SC_ACTION_RESTART, kRestartDelayMs};
  SERVICE_FAILURE_ACTIONSA actions{kFailureResetSeconds, nullptr, nullptr, 3, restart};
  ChangeServiceConfig2A(service.get(), SERVICE_CONFIG_FAILURE_ACTIONS, &actions);
  AddEventSource(path);
  return true;
}

bool Win32ServiceControl::UninstallService() {
  ScHandle manager(
      OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT | SC_MANAGER_ENUMERATE_SERVICE));
  if (!manager) return false;
  const std::string name = ServiceNameFor(instance());
  ScHandle service(OpenServiceA(manager.get(), name.c_str(), DELETE));
  // A running service is removed by the manager once it has stopped.
  if (!service || !DeleteService(service.get())) return false;
  if (!OtherServiceInstalled(manager.get(), name)) {
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kEventSourceKey);
  }
  return true;
}

void Win32ServiceControl::SaveServiceSetting(const std::string& section, const std::string& key,
                                             const std::string& value) {
  SetMachineValue(
      "SYSTEM\\CurrentControlSet\\Services\\" + ServiceNameFor(instance()) + "\\" + section,
      key.c_str(), REG_SZ, value.c_str(), static_cast<DWORD>(value.size() + 1));
}
