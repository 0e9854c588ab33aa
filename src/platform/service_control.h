#ifndef QUELLOR_PLATFORM_SERVICE_CONTROL_H_
#define QUELLOR_PLATFORM_SERVICE_CONTROL_H_

#include <cstdint>
#include <functional>
#include <string>

#include "util/instance_name.h"

// What the service manager's requests become: events on the loop thread, one
// at a time. Success comes in false; the handler sets it true to accept.
class ServiceEvents {
 public:
  virtual ~ServiceEvents() = default;

  // Once, after RunService. Accepted: the service runs (systemd gets READY=1
  // and "Running", Windows RUNNING). Refused: systemd is told nothing and
  // ends the unit when its start times out; Windows reports STOP_PENDING and
  // raises Stop.
  virtual void NTService1_Start(bool& Success) = 0;
  // Once, for a stop (SIGTERM, SIGINT, SIGHUP outside systemd; the manager's stop or
  // shutdown, Ctrl+C or a closed console): the handler ends the program and
  // no event follows. Windows reports STOPPED after the loop has returned.
  virtual void NTService1_Stop() = 0;
  // Only with kAcceptPauseContinue (SIGTSTP; the manager's pause). Accepted:
  // systemd's status becomes "Paused", Windows reports PAUSED. Refused:
  // systemd's status stays, Windows reports the state before the request.
  virtual void NTService1_Pause(bool& Success) = 0;
  // As Pause, for continue (SIGCONT; the manager's continue): accepted is
  // "Running" and RUNNING.
  virtual void NTService1_Continue(bool& Success) = 0;
  // A user control code, 128 to 255 (SIGRTMIN+k is 128+k, or the value
  // queued with SIGRTMIN; the manager's control code). Nothing is answered.
  virtual void NTService1_Control(int32_t ControlCode) = 0;
};

// Where the platform layer's own log lines go; the process entry hands in
// the service log.
using LogSink = std::function<void(const std::string& line)>;

// The service control component (`NTService1`). Service name "Quellor",
// display name "Quellor Service", for the plain instance.
class ServiceControl {
 public:
  static constexpr const char* kServiceName = "Quellor";
  static constexpr const char* kDisplayName = "Quellor Service";
  // SetAcceptedControls: pause and continue are accepted besides stop.
  static constexpr int32_t kAcceptPauseContinue = 2;

  virtual ~ServiceControl() = default;

  // The capture instance this process is (see DisplayNameFor): set before
  // installing, uninstalling or RunService; "" (the default) is the plain one.
  virtual void SetInstance(const std::string& instance) = 0;

  // Set before installing; read by the start-up error handler: true shows a
  // message box and ends, false logs.
  virtual void SetInteractive(bool interactive) = 0;
  virtual bool Interactive() const = 0;

  // Registers / removes the service; false on failure.
  virtual bool InstallService() = 0;
  virtual bool UninstallService() = 0;

  // Stores a value in the service's own store of settings; failures are silent.
  virtual void SaveServiceSetting(const std::string& section, const std::string& key,
                                  const std::string& value) = 0;

  // The name put before the install and uninstall messages: the display name.
  virtual std::string ServiceTitle() const = 0;

  // Run when started by hand, without the service manager.
  virtual void SetDebugMode(bool debug) = 0;

  // Which requests besides stop are taken: kAcceptPauseContinue or 0 (the
  // default). Read by RunService: set it before.
  virtual void SetAcceptedControls(int32_t controls) = 0;

  // Starts the service and returns at once; the events follow on the loop
  // thread through the sink given to SetEvents.
  virtual bool RunService() = 0;

  // Where the events go; not owned. The sink must stay until it is replaced
  // or cleared with nullptr: frmMain sets itself in its constructor and
  // clears it in its destructor. Requests that come while there is none are
  // dropped (on Windows a start is then refused and a stop ends the loop).
  virtual void SetEvents(ServiceEvents* events) = 0;

  // Start-up failed before RunService (number and description as logged).
  // Tells the service manager that started the process, so that it neither
  // waits for the start nor restarts the service in a loop: systemd keeps the
  // status line set before (SetStatusText) and is not to restart on the exit
  // code, the Windows manager gets SERVICE_STOPPED with
  // ERROR_SERVICE_SPECIFIC_ERROR and number. Returns the non-zero exit code
  // the process then ends with.
  virtual int ReportStartFailure(int number, const std::string& description) = 0;

  // A short status line for the service manager (systemd's STATUS=); ignored
  // where the manager shows none.
  virtual void SetStatusText(const std::string& text) = 0;
};

// The service name and display name of a capture instance: "Quellor" and
// "Quellor Service" for the plain one (instance ""), "Quellor_NAME" and
// "Quellor Service (NAME)" for instance NAME.
inline std::string ServiceNameFor(const std::string& instance) {
  return ForInstance(ServiceControl::kServiceName, instance);
}
inline std::string DisplayNameFor(const std::string& instance) {
  return instance.empty() ? ServiceControl::kDisplayName
                          : std::string(ServiceControl::kDisplayName) + " (" + instance + ")";
}

#endif  // QUELLOR_PLATFORM_SERVICE_CONTROL_H_
