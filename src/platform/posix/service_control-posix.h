#ifndef QUELLOR_PLATFORM_POSIX_SERVICE_CONTROL_POSIX_H_
#define QUELLOR_PLATFORM_POSIX_SERVICE_CONTROL_POSIX_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/posix/event_loop-posix.h"
#include "platform/service_control_base.h"

// The service control component as a systemd service. Requests are signals:
// SIGTERM, SIGINT and SIGHUP (unless started ignoring it, as nohup does)
// stop, except that under systemd SIGHUP only reopens the log, with a log
// line (log rotation's convention; a stop would leave the plant
// unrecorded, as systemd restarts no clean exit), SIGTSTP pauses, SIGCONT continues (the last two
// only while pause and continue are accepted), SIGRTMIN+k is control code 128+k, and SIGRTMIN with
// a queued value (sigqueue) is control code value, 128 to 255; another value
// is refused with a log line. The signal handler only writes the signal's
// number (and a queued value) into a pipe that the loop watches; the events
// are raised from the loop.
//
// DebugMode marks a run by hand: no readiness is reported to systemd, even
// through an inherited socket.
//
// -install writes the unit "quellor.service" into UnitFolder() and fails
// when one is there already (it is never replaced); the per-service settings
// go to the drop-in "quellor.service.d/parameters.conf" beside it, in
// sections named "X-" + section, which systemd ignores. An instance NAME is
// the template "quellor@.service" (written when missing, removed with the
// last instance) enabled as "quellor@NAME.service"; its drop-in folder
// "quellor@NAME.service.d" marks it installed and holds its settings.
class PosixServiceControl : public ServiceControlBase {
 public:
  // Log lines (a refused control code) go to log.
  PosixServiceControl(PosixEventLoop& loop, LogSink log);
  PosixServiceControl(const PosixServiceControl&) = delete;
  PosixServiceControl& operator=(const PosixServiceControl&) = delete;
  // Gives the signals back their default actions.
  ~PosixServiceControl() override;

  // Starts taking signals and raises the start event from the loop; READY is
  // reported to systemd once the start is accepted, and WATCHDOG=1 every
  // second when systemd asks for it.
  bool RunService() override;
  // Waits briefly until systemd has taken the status line, then returns the
  // exit status the unit names in RestartPreventExitStatus=.
  int ReportStartFailure(int number, const std::string& description) override;
  void SetStatusText(const std::string& text) override;

  // Installation and the setting store (service_install-posix.cc).
  bool InstallService() override;
  bool UninstallService() override;
  void SaveServiceSetting(const std::string& section, const std::string& key,
                          const std::string& value) override;
  // $QUELLOR_SYSTEMD_DIR when set and non-empty, else /etc/systemd/system.
  static std::string UnitFolder();

 private:
  void OnSignalPipe();
  void CatchSignal(int signal_number);
  void StartWatchdog();
  // Sends state to systemd, unless in DebugMode.
  void Notify(const char* state) const;

  // ---- service_requests-posix.cc: a request becomes its event, and
  // systemd learns the handler's answer. ----
  void DeliverStart();
  void Deliver(int signal_number);
  void DeliverQueued(int value);

  PosixEventLoop& loop_;
  std::unique_ptr<Timer> watchdog_;
  // Started by systemd: SIGHUP reopens the log instead of stopping.
  const bool hang_up_reopens_log_;
  bool stopped_ = false;
  int pipe_[2] = {-1, -1};
  std::vector<int> caught_;
};

#endif  // QUELLOR_PLATFORM_POSIX_SERVICE_CONTROL_POSIX_H_
