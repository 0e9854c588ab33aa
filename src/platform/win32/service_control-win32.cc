#include "platform/win32/service_control-win32.h"

#include <cstdio>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>

#include "output/service_log.h"

namespace {

constexpr DWORD kPendingWaitHintMs = 10000;
// How long the destructor waits for the dispatcher to return after STOPPED.
constexpr DWORD kDispatcherEndMs = 5000;
// How long closing the console may take to file what was being gathered.
constexpr DWORD kConsoleCloseMs = 4000;
// How long a start-up failure waits for the manager to take its STOPPED.
constexpr DWORD kStartFailureReportMs = 5000;
constexpr int kExitStartFailed = 1;
// A crashed or hung service is restarted after a minute, every time; the
// count of failures starts again after a day without one.
constexpr DWORD kRestartDelayMs = 60 * 1000;
constexpr DWORD kFailureResetSeconds = 24 * 60 * 60;
constexpr DWORD kFirstUserControl = 128;
constexpr DWORD kLastUserControl = 255;

constexpr const char* kDescription =
    "Files the journals that the process control system prints on a serial line as XML and HTML "
    "reports.";

// The one running host: the manager's and the console's callbacks carry no
// context, so they find it here. Cleared by the destructor under the mutex.
std::mutex g_instance_mutex;
Win32ServiceControl* g_instance = nullptr;

struct ScHandleCloser {
  void operator()(SC_HANDLE handle) const { CloseServiceHandle(handle); }
};
using ScHandle = std::unique_ptr<std::remove_pointer_t<SC_HANDLE>, ScHandleCloser>;

// The running executable's full path; empty when it cannot be read whole.
std::string ExecutablePath() {
  std::string path(32768, '\0');
  DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
  if (length == 0 || length >= path.size()) return "";
  path.resize(length);
  return path;
}

bool IsPending(DWORD state) {
  return state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING ||
         state == SERVICE_PAUSE_PENDING || state == SERVICE_CONTINUE_PENDING;
}

}  // namespace

Win32ServiceControl::Win32ServiceControl(Win32EventLoop& loop)
    : Win32ServiceControl(loop, nullptr) {
  status_sink_ = [this](const SERVICE_STATUS& status) {
    if (status_handle_ != nullptr)
      SetServiceStatus(status_handle_, const_cast<SERVICE_STATUS*>(&status));
  };
}

Win32ServiceControl::Win32ServiceControl(Win32EventLoop& loop, StatusSink status_sink)
    : ServiceControlBase(false),
      loop_(loop),
      status_sink_(std::move(status_sink)),
      ended_event_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
  status_.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  status_.dwCurrentState = SERVICE_STOPPED;
}

Win32ServiceControl::~Win32ServiceControl() {
  bool ran = false;
  {
    std::lock_guard<std::mutex> lock(g_instance_mutex);
    ran = g_instance == this;
    if (ran) g_instance = nullptr;
  }
  if (console_handler_set_) SetConsoleCtrlHandler(ConsoleHandler, FALSE);
  if (ran) ReportStatus(SERVICE_STOPPED);
  SetEvent(ended_event_);
  if (dispatcher_thread_ != nullptr) {
    WaitForSingleObject(dispatcher_thread_, kDispatcherEndMs);
    CloseHandle(dispatcher_thread_);
  }
  CloseHandle(ended_event_);
}

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

bool Win32ServiceControl::RunService() {
  {
    std::lock_guard<std::mutex> lock(g_instance_mutex);
    if (g_instance != nullptr) return false;
    g_instance = this;
  }
  if (debug_mode()) {
    console_handler_set_ = SetConsoleCtrlHandler(ConsoleHandler, TRUE);
    ReportStatus(SERVICE_START_PENDING);
    loop_.Post([this] { RaiseStart(); });
    return true;
  }
  dispatcher_thread_ = CreateThread(nullptr, 0, DispatcherThread, this, 0, nullptr);
  return dispatcher_thread_ != nullptr;
}

// Under the manager, ServiceMain reports STOPPED with number as soon as the
// dispatcher connects; started by hand, the dispatcher fails at once.
int Win32ServiceControl::ReportStartFailure(int number, const std::string& /*description*/) {
  {
    std::lock_guard<std::mutex> lock(g_instance_mutex);
    if (g_instance != nullptr || debug_mode()) return kExitStartFailed;
    g_instance = this;
  }
  {
    std::lock_guard<std::mutex> lock(status_mutex_);
    status_.dwWin32ExitCode = ERROR_SERVICE_SPECIFIC_ERROR;
    status_.dwServiceSpecificExitCode = static_cast<DWORD>(number);
  }
  start_failed_ = true;
  dispatcher_thread_ = CreateThread(nullptr, 0, DispatcherThread, this, 0, nullptr);
  if (dispatcher_thread_ != nullptr) WaitForSingleObject(dispatcher_thread_, kStartFailureReportMs);
  return kExitStartFailed;
}

DWORD WINAPI Win32ServiceControl::DispatcherThread(LPVOID self) {
  SERVICE_TABLE_ENTRYA table[] = {{const_cast<char*>(kServiceName), ServiceMain},
                                  {nullptr, nullptr}};
  auto* host = static_cast<Win32ServiceControl*>(self);
  if (!StartServiceCtrlDispatcherA(table) && !host->start_failed_) {
    DWORD error = GetLastError();
    host->loop_.Post([host, error] { host->EndWithoutManager(error); });
  }
  return 0;
}

void WINAPI Win32ServiceControl::ServiceMain(DWORD, LPSTR*) {
  HANDLE ended = nullptr;
  {
    std::lock_guard<std::mutex> lock(g_instance_mutex);
    Win32ServiceControl* self = g_instance;
    if (self == nullptr) return;
    SERVICE_STATUS_HANDLE handle =
        RegisterServiceCtrlHandlerExA(kServiceName, ControlHandler, nullptr);
    if (handle == nullptr) {
      DWORD error = GetLastError();
      self->loop_.Post([self, error] { self->EndWithoutManager(error); });
      return;
    }
    {
      std::lock_guard<std::mutex> status_lock(self->status_mutex_);
      self->status_handle_ = handle;
    }
    if (self->start_failed_) {
      self->ReportStatus(SERVICE_STOPPED);  // with the failure's exit codes
      return;
    }
    self->ReportStatus(SERVICE_START_PENDING);
    self->loop_.Post([self] { self->RaiseStart(); });
    ended = self->ended_event_;
  }
  // The dispatcher runs until STOPPED; this thread has nothing more to do.
  WaitForSingleObject(ended, INFINITE);
}

DWORD WINAPI Win32ServiceControl::ControlHandler(DWORD control, DWORD, LPVOID, LPVOID) {
  std::lock_guard<std::mutex> lock(g_instance_mutex);
  if (g_instance == nullptr) return ERROR_SERVICE_CANNOT_ACCEPT_CTRL;
  return g_instance->HandleControl(control);
}

BOOL WINAPI Win32ServiceControl::ConsoleHandler(DWORD console_event) {
  HANDLE ended = nullptr;
  {
    std::lock_guard<std::mutex> lock(g_instance_mutex);
    if (g_instance == nullptr) return FALSE;
    // A second Ctrl+C while the stop is under way takes the default road:
    // the process ends at once.
    if (g_instance->HandleControl(SERVICE_CONTROL_STOP) != NO_ERROR) return FALSE;
    ended = g_instance->ended_event_;
  }
  if (console_event == CTRL_CLOSE_EVENT || console_event == CTRL_LOGOFF_EVENT ||
      console_event == CTRL_SHUTDOWN_EVENT) {
    // The process is ended when this returns: let the stop file its report.
    WaitForSingleObject(ended, kConsoleCloseMs);
  }
  return TRUE;
}

DWORD Win32ServiceControl::HandleControl(DWORD control) {
  std::lock_guard<std::mutex> lock(status_mutex_);
  const DWORD state = status_.dwCurrentState;
  if (control == SERVICE_CONTROL_INTERROGATE) {
    status_sink_(status_);
    return NO_ERROR;
  }
  if (state == SERVICE_STOP_PENDING || state == SERVICE_STOPPED) {
    return ERROR_SERVICE_CANNOT_ACCEPT_CTRL;
  }
  if (control == SERVICE_CONTROL_STOP || control == SERVICE_CONTROL_SHUTDOWN) {
    SetStateLocked(SERVICE_STOP_PENDING);
    loop_.Post([this] { RaiseStop(); });
    return NO_ERROR;
  }
  if (control == SERVICE_CONTROL_PAUSE || control == SERVICE_CONTROL_CONTINUE) {
    if ((ControlsAccepted(SERVICE_RUNNING) & SERVICE_ACCEPT_PAUSE_CONTINUE) == 0) {
      return ERROR_CALL_NOT_IMPLEMENTED;
    }
    if (IsPending(state)) return ERROR_SERVICE_CANNOT_ACCEPT_CTRL;
    const bool pause = control == SERVICE_CONTROL_PAUSE;
    SetStateLocked(pause ? SERVICE_PAUSE_PENDING : SERVICE_CONTINUE_PENDING);
    loop_.Post([this, pause, state] { RaisePauseOrContinue(pause, state); });
    return NO_ERROR;
  }
  if (control >= kFirstUserControl && control <= kLastUserControl) {
    loop_.Post([this, control] { RaiseControl(static_cast<int32_t>(control)); });
    return NO_ERROR;
  }
  return ERROR_CALL_NOT_IMPLEMENTED;
}

DWORD Win32ServiceControl::ControlsAccepted(DWORD state) const {
  if (state != SERVICE_RUNNING && state != SERVICE_PAUSED) return 0;
  return SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN |
         (static_cast<DWORD>(accepted_controls()) & SERVICE_ACCEPT_PAUSE_CONTINUE);
}

void Win32ServiceControl::SetStateLocked(DWORD state) {
  status_.dwCurrentState = state;
  status_.dwControlsAccepted = ControlsAccepted(state);
  status_.dwCheckPoint = IsPending(state) ? status_.dwCheckPoint + 1 : 0;
  status_.dwWaitHint = IsPending(state) ? kPendingWaitHintMs : 0;
  status_sink_(status_);
}

void Win32ServiceControl::ReportStatus(DWORD state) {
  std::lock_guard<std::mutex> lock(status_mutex_);
  SetStateLocked(state);
}

bool Win32ServiceControl::SettlePending(DWORD pending, DWORD state) {
  std::lock_guard<std::mutex> lock(status_mutex_);
  // A stop that came in meanwhile has the last word.
  if (status_.dwCurrentState != pending) return false;
  SetStateLocked(state);
  return true;
}

void Win32ServiceControl::RaiseStart() {
  bool success = false;
  if (events() != nullptr) events()->NTService1_Start(success);
  if (success) {
    SettlePending(SERVICE_START_PENDING, SERVICE_RUNNING);
  } else if (SettlePending(SERVICE_START_PENDING, SERVICE_STOP_PENDING)) {
    RaiseStop();  // a refused start ends the service
  }
}

void Win32ServiceControl::RaiseStop() {
  if (events() != nullptr) {
    events()->NTService1_Stop();
  } else {
    loop_.Quit();  // nobody to end the program: end the loop
  }
}

void Win32ServiceControl::RaisePauseOrContinue(bool pause, DWORD previous_state) {
  // Success keeps this value when the handler fails before answering.
  bool success = false;
  if (events() != nullptr) {
    if (pause) {
      events()->NTService1_Pause(success);
    } else {
      events()->NTService1_Continue(success);
    }
  }
  const DWORD done = pause ? SERVICE_PAUSED : SERVICE_RUNNING;
  SettlePending(pause ? SERVICE_PAUSE_PENDING : SERVICE_CONTINUE_PENDING,
                success ? done : previous_state);
}

void Win32ServiceControl::RaiseControl(int32_t code) {
  if (events() != nullptr) events()->NTService1_Control(code);
}

void Win32ServiceControl::EndWithoutManager(DWORD error) {
  std::string program = ExecutablePath();
  program = program.substr(program.find_last_of("\\/") + 1);
  std::string line =
      error == ERROR_FAILED_SERVICE_CONTROLLER_CONNECT
          ? "Not started by the service manager: install the service with \"" + program +
                " -install\" and start it with \"net start " + kServiceName +
                "\", or run it in the foreground with \"" + program + " -debug\""
          : "The service manager refused the service: error " + std::to_string(error);
  std::fputs((line + "\n").c_str(), stdout);
  std::fflush(stdout);
  WriteLog(line);
  RaiseStop();
}
