#ifndef QUELLOR_PLATFORM_WIN32_SERVICE_CONTROL_WIN32_H_
#define QUELLOR_PLATFORM_WIN32_SERVICE_CONTROL_WIN32_H_

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "platform/service_control_base.h"
#include "platform/win32/event_loop-win32.h"

// The service host on Windows: installs itself with the Service Control
// Manager (own process, automatic start, LocalSystem), keeps its settings in
// HKLM\SYSTEM\CurrentControlSet\Services\Quellor\<section>, and turns the
// manager's requests into ServiceEvents raised on the loop thread.
//
// RunService starts the control dispatcher on a thread of its own. The status
// reported to the manager follows what the handlers answered: RUNNING only
// after Start's Success, PAUSED/RUNNING after Pause's/Continue's. STOPPED is
// reported by the destructor, that is after the loop has returned, so the
// stop's log line is always written first.
//
// InstallService also sets the failure actions: restart a minute after a
// crash, every time, the count reset after a day; and it registers this
// executable as the message file of the event source "Quellor"
// (Win32SystemLog), which UninstallService removes. ReportStartFailure
// connects to the dispatcher only to report SERVICE_STOPPED with
// ERROR_SERVICE_SPECIFIC_ERROR and the error number.
//
// Started by hand without DebugMode, the dispatcher cannot connect: a line
// saying how to install or debug goes to the log and to standard output, and
// the Stop event ends the program. In DebugMode the service runs in the
// foreground without the manager, and Ctrl+C or closing the console is Stop.
class Win32ServiceControl : public ServiceControlBase {
 public:
  // Receives every status the service reports to the manager.
  using StatusSink = std::function<void(const SERVICE_STATUS&)>;

  // Reports to the manager through SetServiceStatus; log lines (a start
  // without the manager) go to log.
  Win32ServiceControl(Win32EventLoop& loop, LogSink log);
  // Reports to status_sink instead (tests).
  Win32ServiceControl(Win32EventLoop& loop, LogSink log, StatusSink status_sink);
  Win32ServiceControl(const Win32ServiceControl&) = delete;
  Win32ServiceControl& operator=(const Win32ServiceControl&) = delete;
  // Reports STOPPED and waits (bounded) for the dispatcher thread to end.
  ~Win32ServiceControl() override;

  bool RunService() override;
  int ReportStartFailure(int number, const std::string& description) override;
  // The Windows manager shows no status text.
  void SetStatusText(const std::string& /*text*/) override {}

  // Installation and the setting store (service_install-win32.cc).
  bool InstallService() override;
  bool UninstallService() override;
  void SaveServiceSetting(const std::string& section, const std::string& key,
                          const std::string& value) override;

  // What a control request from the manager does; any thread. Stop and
  // shutdown become Stop, pause and continue (when accepted) Pause and
  // Continue, 128 to 255 Control; the events are posted to the loop thread.
  // Returns the answer for the manager (NO_ERROR when the request is taken).
  // In service_requests-win32.cc with the steps below.
  DWORD HandleControl(DWORD control);

 private:
  static void WINAPI ServiceMain(DWORD argc, LPSTR* argv);
  static DWORD WINAPI ControlHandler(DWORD control, DWORD event_type, LPVOID event_data,
                                     LPVOID context);
  static BOOL WINAPI ConsoleHandler(DWORD console_event);
  static DWORD WINAPI DispatcherThread(LPVOID self);
  // The dispatcher could not run: says why and how to run instead, then Stop.
  void EndWithoutManager(DWORD error);

  // ---- service_requests-win32.cc: a request becomes its event, and the
  // manager learns the state the handler's answer leads to. ----

  // Sets and reports the state; pending states carry a fresh check point.
  void ReportStatus(DWORD state);
  void SetStateLocked(DWORD state);  // status_mutex_ held
  // Moves from pending to state unless another request (a stop) came in
  // meanwhile; true when it moved.
  bool SettlePending(DWORD pending, DWORD state);
  DWORD ControlsAccepted(DWORD state) const;

  // Loop-thread steps of the requests: raise the event, then report what
  // its handler answered.
  void RaiseStart();
  void RaiseStop();
  void RaisePauseOrContinue(bool pause, DWORD previous_state);
  void RaiseControl(int32_t code);

  Win32EventLoop& loop_;
  StatusSink status_sink_;

  std::mutex status_mutex_;  // guards status_ and status_handle_
  SERVICE_STATUS status_{};
  SERVICE_STATUS_HANDLE status_handle_ = nullptr;

  // ReportStartFailure ran: ServiceMain only reports the failure.
  std::atomic<bool> start_failed_{false};
  HANDLE ended_event_ = nullptr;  // set by the destructor; ServiceMain waits on it
  HANDLE dispatcher_thread_ = nullptr;
  bool console_handler_set_ = false;
};

#endif  // QUELLOR_PLATFORM_WIN32_SERVICE_CONTROL_WIN32_H_
