#ifndef QUELLOR_SERVICE_FRM_MAIN_H_
#define QUELLOR_SERVICE_FRM_MAIN_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "capture/report_spool.h"
#include "platform/clock.h"
#include "platform/display.h"
#include "platform/event_loop.h"
#include "platform/serial_port.h"
#include "platform/service_control.h"
#include "util/string_builder.h"

class SettingsReader;

// The main window: it holds the components and the capture state, and its
// handlers carry the service's behaviour. Everything runs on the event loop's
// thread. Start-up and the service events are defined in service/, the
// settings properties in config/, the receive path and end of report in
// capture/.
class frmMain : public ServiceEvents {
 public:
  // The window's components and what the process knows of its host.
  struct Components {
    EventLoop& loop;
    SerialPort& comPort;
    ServiceControl& NTService1;
    Display& display;
    const Clock& clock;
    std::string settings_folder;  // holds the settings file
    std::string state_folder;     // holds the spool and the "Data" fallback
    std::string machine_name;     // as GetMachineName returns it
  };

  explicit frmMain(const Components& components);
  frmMain(const frmMain&) = delete;
  frmMain& operator=(const frmMain&) = delete;
  ~frmMain() override;

  // ---- Start-up and shutdown (service/) ----

  // Runs once at process start with the argument text of the command line.
  // Command-line actions and interactive start-up errors end the program.
  void Form_Load(const std::string& command_line);

  // The window is being unloaded (stop request or closed by a person).
  void Form_Unload();

  // True once the program has ended: no further event is handled.
  bool Ended() const { return ended_; }
  int ExitCode() const { return exit_code_; }

  void NTService1_Start(bool& Success) override;
  void NTService1_Stop() override;
  void NTService1_Pause(bool& Success) override;
  void NTService1_Continue(bool& Success) override;
  void NTService1_Control(int32_t ControlCode) override;

  // ---- Runtime settings properties (config/) ----
  // Each write ignores values below its lower bound; errors of the port or
  // the timer pass to the caller.

  int32_t MinLength() const { return min_length_; }
  void SetMinLength(int32_t nLen);
  int32_t MaxLength() const { return max_length_; }
  void SetMaxLength(int32_t nLen);
  int32_t FileLifetime() const { return file_lifetime_; }
  void SetFileLifetime(int32_t nLen);
  int32_t CommPort() const;
  void SetCommPort(int32_t nPort);
  std::string CommSettings() const;
  void SetCommSettings(const std::string& strSettings);
  // Reads the timer's own interval (1000 before the first valid write). A
  // write above the timer's 65535 ms is kept, and the timer runs at 65535.
  int32_t EndOfFileTimeInterval() const;
  void SetEndOfFileTimeInterval(int32_t nMilliSec);

  // ---- Capture (capture/) ----

  // Received characters: appends what waits in the port to the capture
  // buffer and restarts tmrEOF's countdown; a network job's end (kEvEOF)
  // files what was gathered at once; other port events are ignored.
  // Errors are logged ("ReadInput: ") and the capture goes on.
  void comPort_OnComm();
  // The silence after a report: appends what still waits, then files the
  // buffer as one report (when it names one) and empties it. Errors are
  // logged ("tmrEOF_Timer: ").
  void tmrEOF_Timer();
  // Every second: the time in status panel 1 every fifth second, a port that
  // is away opened again, the spool flushed and the alarms checked.
  void tmr1sec_Timer();

  const std::string& DataFolder() const { return data_folder_; }

 private:
  // The interval used while none was validly set: reports are still cut.
  static constexpr int32_t kFallbackEndOfFileInterval = 2500;
  static constexpr size_t kMaxShownCharacters = 25000;

  // The normal start's steps, in their order (service/form_load.cc).
  void NormalStart();
  SettingsReader OpenSettings();
  void ApplySettings(const SettingsReader& settings);
  void ApplyPortSettings(const SettingsReader& settings);
  void StartService();
  void HandleStartupError(int number, const std::string& description);
  void SettleDataFolder(const std::string& configured);
  void EndProgram(int exit_code);

  void ReadInput();
  void EndOfJob();
  // Gathers what waits and files the buffer when it holds anything; errors
  // of the gathering are logged under where.
  void FileGathered(const std::string& where);
  void CutReport();
  void ShutDown();
  // capture/ helpers: the capture buffer (made on first use), the port's
  // waiting input appended to it, tmrEOF's countdown stopped before that
  // (errors logged under where), and the countdown restarted.
  cStringBuilder& CaptureBuffer();
  void GatherInput();
  void StopCountdownAndGather(const std::string& where);
  void ArmEndOfReport();
  int32_t ArmingInterval() const;
  // config/: closes an open port around a change of its number or settings.
  void WithPortClosed(const std::function<void()>& change);
  // capture/ port watch: a lost or missing port is closed and opened again
  // from the one-second tick until it is back.
  std::string TakePortInput();
  void PortLost(const std::string& reason);
  void WaitForPort();
  void RetryPort();

  // ---- Spool and alarms (capture/frm_main_spool.cc, frm_main_alarms.cc) ----
  // The spool mirrors the capture buffer on disk from the normal start on
  // (see ReportSpool); before it, and in tests that skip it, there is none.

  // A filing record whose report is not filed yet: left by an earlier
  // process, or not stored when it was cut.
  struct WaitingRecord {
    ReportSpool::Record record;
    bool recovered = false;  // left by an earlier process
    bool told = false;       // its failure is logged: a retry that fails is quiet
    bool due = true;         // to be tried in the current round
  };

  // Reads SilenceAlarmMinutes and MinFreeMegabytes; other text: the default.
  void ReadAlarmSettings(const SettingsReader& settings);
  // Starts the spool and has what an earlier process left in it filed, once
  // the loop runs (see FileNextWaiting).
  void RecoverLeftovers();
  void SpoolReceived(const std::string& text);
  ReportSpool::Record BeginFiling(const LocalTime& t);
  // The record's report is filed or not to be stored: the record goes.
  void EndFiling(const ReportSpool::Record& record);
  // The record's report could not be stored (its failure is logged): the
  // record waits for a retry.
  void KeepWaiting(const ReportSpool::Record& record);
  // Makes every waiting record due again, to be filed oldest first.
  void RetryWaiting();
  // The filing timer: files the oldest due record, one per tick, so that
  // a long backlog never holds up other events; stops once none is due.
  void FileNextWaiting();
  // Files a waiting record's report at its instant; true when it is filed
  // and the record gone.
  bool FileWaiting(WaitingRecord& waiting);
  // The one-second tick's share: spool flush, silence and free-space alarms,
  // and once a minute a retry of the waiting records.
  void WatchCapture();
  void CheckSilence();
  void CheckFreeSpace();
  void ReportFiled();

  EventLoop& loop_;
  SerialPort& comPort;
  ServiceControl& NTService1;
  Display& display_;
  const Clock& clock_;
  const std::string settings_folder_;
  const std::string state_folder_;
  const std::string machine_name_;
  std::string instance_;  // the command line's instance name; "" the plain one

  std::unique_ptr<Timer> tmrEOF;
  std::unique_ptr<Timer> tmr1sec;
  std::unique_ptr<cStringBuilder> capture_;

  std::string data_folder_;
  int32_t min_length_ = 0;
  int32_t max_length_ = 0;
  int32_t file_lifetime_ = 0;
  int32_t end_of_file_interval_ = 0;

  std::unique_ptr<ReportSpool> spool_;
  std::vector<WaitingRecord> waiting_;  // oldest first
  std::unique_ptr<Timer> filing_timer_;
  int32_t silence_alarm_minutes_ = 0;  // 0: off
  int32_t min_free_megabytes_ = 0;     // 0: off
  int64_t ticks_ = 0;
  int64_t silent_seconds_ = 0;  // since the last report was filed
  bool silence_logged_ = false;
  bool disk_low_ = false;

  bool ended_ = false;
  int exit_code_ = 0;

  // RunService was called: a start-up failure after it keeps the process.
  bool service_started_ = false;
  // The port is away (lost, or not opened at start); ticks since then.
  bool port_away_ = false;
  int64_t port_away_ticks_ = 0;
};

#endif  // QUELLOR_SERVICE_FRM_MAIN_H_
