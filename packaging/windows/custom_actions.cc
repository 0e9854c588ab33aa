// Custom actions of the Windows Installer package: what the installer's own
// tables cannot say about the service (its state before the install, the
// program it runs) and a stop that waits until the program has ended.

// clang-format off
#include <windows.h>
#include <msi.h>
#include <msiquery.h>
// clang-format on

#include <memory>
#include <string>

#include "platform/win32/sc_handle-win32.h"

#define CUSTOM_ACTION extern "C" __declspec(dllexport) UINT __stdcall

namespace {

constexpr const wchar_t* kServiceName = L"Quellor";
constexpr const wchar_t* kProgramName = L"QuellorService.exe";
constexpr const wchar_t* kSettingsName = L"QuellorService.ini";
// A stop files the report being received first: allow it a while.
constexpr DWORD kStopTimeoutMs = 120 * 1000;
constexpr DWORD kPollMs = 200;

// The service opened with `access`; null when it is not installed.
ScHandle OpenQuellor(DWORD access) {
  ScHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager) return nullptr;
  return ScHandle(OpenServiceW(manager.get(), kServiceName, access));
}

// The service's state and process id; {SERVICE_STOPPED, 0} when unknown.
SERVICE_STATUS_PROCESS QueryStatus(SC_HANDLE service) {
  SERVICE_STATUS_PROCESS status{};
  status.dwCurrentState = SERVICE_STOPPED;
  DWORD needed = 0;
  if (!QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                            sizeof status, &needed)) {
    status.dwCurrentState = SERVICE_STOPPED;
  }
  return status;
}

// The command line the service runs, without the quotes around the program.
std::wstring ServiceProgram(SC_HANDLE service) {
  DWORD needed = 0;
  QueryServiceConfigW(service, nullptr, 0, &needed);
  auto buffer = std::make_unique<BYTE[]>(needed + sizeof(QUERY_SERVICE_CONFIGW));
  auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.get());
  if (!QueryServiceConfigW(service, config, needed, &needed) || !config->lpBinaryPathName) {
    return L"";
  }
  std::wstring path = config->lpBinaryPathName;
  if (path.size() > 1 && path.front() == L'"') path = path.substr(1, path.find(L'"', 1) - 1);
  return path;
}

std::wstring GetProperty(MSIHANDLE install, const wchar_t* name) {
  wchar_t empty[1] = L"";
  DWORD size = 0;
  MsiGetPropertyW(install, name, empty, &size);
  std::wstring value(++size, L'\0');
  if (MsiGetPropertyW(install, name, value.data(), &size) != ERROR_SUCCESS) return L"";
  value.resize(size);
  return value;
}

// Writes `text` into the installer's log.
void Log(MSIHANDLE install, const std::wstring& text) {
  MSIHANDLE record = MsiCreateRecord(0);
  MsiRecordSetStringW(record, 0, (L"Quellor: " + text).c_str());
  MsiProcessMessage(install, INSTALLMESSAGE_INFO, record);
  MsiCloseHandle(record);
}

// Asks the service to stop; one still starting takes no stop yet, so the
// request is repeated until it does. False when the service refuses it.
bool RequestStop(SC_HANDLE service) {
  for (DWORD waited = 0; waited < kStopTimeoutMs; waited += kPollMs) {
    SERVICE_STATUS status;
    if (ControlService(service, SERVICE_CONTROL_STOP, &status)) return true;
    DWORD error = GetLastError();
    if (error == ERROR_SERVICE_NOT_ACTIVE) return true;
    if (error != ERROR_SERVICE_CANNOT_ACCEPT_CTRL) return false;
    if (QueryStatus(service).dwCurrentState == SERVICE_STOP_PENDING) return true;
    Sleep(kPollMs);
  }
  return false;
}

// Waits until the process `pid` has ended, or the service reports STOPPED
// when the process cannot be opened.
void WaitForEnd(SC_HANDLE service, DWORD pid) {
  HANDLE process = pid ? OpenProcess(SYNCHRONIZE, FALSE, pid) : nullptr;
  if (process) {
    WaitForSingleObject(process, kStopTimeoutMs);
    CloseHandle(process);
    return;
  }
  for (DWORD waited = 0; waited < kStopTimeoutMs; waited += kPollMs) {
    if (QueryStatus(service).dwCurrentState == SERVICE_STOPPED) return;
    Sleep(kPollMs);
  }
}

}  // namespace

// Immediate, before CostFinalize. Sets QUELLOR_SETTINGS_FOUND when INSTALLDIR
// holds a settings file already: the properties are written into a new one
// only, never over an engineer's edits.
CUSTOM_ACTION FindSettings(MSIHANDLE install) {
  wchar_t folder[MAX_PATH + 1];
  DWORD size = MAX_PATH;
  if (MsiGetTargetPathW(install, L"INSTALLDIR", folder, &size) != ERROR_SUCCESS) {
    return ERROR_INSTALL_FAILURE;
  }
  std::wstring settings = std::wstring(folder) + kSettingsName;
  if (GetFileAttributesW(settings.c_str()) != INVALID_FILE_ATTRIBUTES) {
    MsiSetPropertyW(install, L"QUELLOR_SETTINGS_FOUND", L"1");
    Log(install, settings + L" is kept as it is");
  }
  return ERROR_SUCCESS;
}

// Immediate, after CostFinalize. Sets QUELLOR_SERVICE_STATE to "running" or
// "stopped" when the service is installed, and QUELLOR_FOREIGN_SERVICE to the
// program it runs when that is not the one in INSTALLDIR.
CUSTOM_ACTION InspectQuellor(MSIHANDLE install) {
  ScHandle service = OpenQuellor(SERVICE_QUERY_STATUS | SERVICE_QUERY_CONFIG);
  if (!service) return ERROR_SUCCESS;
  bool running = QueryStatus(service.get()).dwCurrentState != SERVICE_STOPPED;
  MsiSetPropertyW(install, L"QUELLOR_SERVICE_STATE", running ? L"running" : L"stopped");
  std::wstring program = ServiceProgram(service.get());
  std::wstring ours = GetProperty(install, L"INSTALLDIR") + kProgramName;
  if (CompareStringOrdinal(program.c_str(), -1, ours.c_str(), -1, TRUE) != CSTR_EQUAL) {
    MsiSetPropertyW(install, L"QUELLOR_FOREIGN_SERVICE", program.c_str());
  }
  Log(install, L"the service runs " + program + (running ? L", running" : L", stopped"));
  return ERROR_SUCCESS;
}

// Deferred, first in the script, before an older version's removal. Stops the
// service and waits until its process has ended (it files the report being
// received first), so that the program file is free to be replaced.
CUSTOM_ACTION StopQuellor(MSIHANDLE install) {
  ScHandle service = OpenQuellor(SERVICE_STOP | SERVICE_QUERY_STATUS);
  if (!service) return ERROR_SUCCESS;
  SERVICE_STATUS_PROCESS status = QueryStatus(service.get());
  if (status.dwCurrentState == SERVICE_STOPPED) return ERROR_SUCCESS;
  if (!RequestStop(service.get())) {
    Log(install, L"the service did not take the stop: error " + std::to_wstring(GetLastError()));
    return ERROR_SUCCESS;
  }
  WaitForEnd(service.get(), status.dwProcessId);
  return ERROR_SUCCESS;
}

// Deferred, after InstallServices. Puts the program's path in the service's
// command line in quotes, as -install does, where the installer left them out:
// unquoted, a path with blanks may start another program.
CUSTOM_ACTION QuoteServicePath(MSIHANDLE install) {
  ScHandle service = OpenQuellor(SERVICE_QUERY_CONFIG | SERVICE_CHANGE_CONFIG);
  if (!service) return ERROR_SUCCESS;
  std::wstring program = ServiceProgram(service.get());
  std::wstring command = L"\"" + program + L"\"";
  if (program.empty() || !ChangeServiceConfigW(service.get(), SERVICE_NO_CHANGE, SERVICE_NO_CHANGE,
                                               SERVICE_NO_CHANGE, command.c_str(), nullptr, nullptr,
                                               nullptr, nullptr, nullptr, nullptr)) {
    Log(install,
        L"the service's path could not be quoted: error " + std::to_wstring(GetLastError()));
  }
  return ERROR_SUCCESS;
}

// Deferred, after StartServices. Starts the service; a service that does not
// start (settings to be edited first, say) is logged, not an install error.
CUSTOM_ACTION StartQuellor(MSIHANDLE install) {
  ScHandle service = OpenQuellor(SERVICE_START);
  if (!service) return ERROR_SUCCESS;
  if (!::StartServiceW(service.get(), 0, nullptr) &&
      GetLastError() != ERROR_SERVICE_ALREADY_RUNNING) {
    Log(install, L"the service did not start: error " + std::to_wstring(GetLastError()));
  }
  return ERROR_SUCCESS;
}
