#include "platform/win32/service_control-win32.h"

#include <cstdio>
#include <string>
#include <utility>

#include "platform/file_system.h"

namespace {

// How long the destructor waits for the dispatcher to return after STOPPED.
constexpr DWORD kDispatcherEndMs = 5000;
// How long closing the console may take to file what was being gathered.
constexpr DWORD kConsoleCloseMs = 4000;
// How long a start-up failure waits for the manager to take its STOPPED.
constexpr DWORD kStartFailureReportMs = 5000;
constexpr int kExitStartFailed = 1;

// The one running host: the manager's and the console's callbacks carry no
// context, so they find it here. Cleared by the destructor under the mutex.
std::mutex g_instance_mutex;
Win32ServiceControl* g_instance = nullptr;

}  // namespace

Win32ServiceControl::Win32ServiceControl(Win32EventLoop& loop, LogSink log)
    : Win32ServiceControl(loop, std::move(log), nullptr) {
  status_sink_ = [this](const SERVICE_STATUS& status) {
    if (status_handle_ != nullptr)
      SetServiceStatus(status_handle_, const_cast<SERVICE_STATUS*>(&status));
  };
}

Win32ServiceControl::Win32ServiceControl(Win32EventLoop& loop, LogSink log, StatusSink status_sink)
    : ServiceControlBase(std::move(log)),
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
    SERVICE_STATUS_HANDLE handle = RegisterServiceCtrlHandlerExA(
        ServiceNameFor(self->instance()).c_str(), ControlHandler, nullptr);
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

void Win32ServiceControl::EndWithoutManager(DWORD error) {
  std::string program = ExecutablePath();
  program = program.substr(program.find_last_of("\\/") + 1);
  std::string line =
      error == ERROR_FAILED_SERVICE_CONTROLLER_CONNECT
          ? "Not started by the service manager: install the service with \"" + program +
                " -install\" and start it with \"net start " + ServiceNameFor(instance()) +
                "\", or run it in the foreground with \"" + program + " -debug\""
          : "The service manager refused the service: error " + std::to_string(error);
  std::fputs((line + "\n").c_str(), stdout);
  std::fflush(stdout);
  Log(line);
  RaiseStop();
}
