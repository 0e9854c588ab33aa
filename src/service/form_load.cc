// Start-up: the command line, then the normal start.

#include <exception>
#include <memory>
#include <string>

#include "config/settings.h"
#include "output/service_log.h"
#include "output/text_helpers.h"
#include "platform/defaults.h"
#include "platform/file_system.h"
#include "service/command_line.h"
#include "service/frm_main.h"
#include "util/instance_name.h"
#include "util/numbered_error.h"

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitInvalidOption = 2;
constexpr int kTextInputMode = 0;

}  // namespace

void frmMain::Form_Load(const std::string& command_line) {
  const CommandLine parsed = ParseCommandLine(command_line);
  instance_ = parsed.instance;
  NTService1.SetInstance(instance_);
  try {
    if (parsed.action == CommandLine::Action::kInstall) {
      NTService1.SetInteractive(true);
      const bool installed = NTService1.InstallService();
      if (installed) NTService1.SaveServiceSetting("Parameters", "TimerInterval", "10000");
      display_.ShowMessage(NTService1.ServiceTitle() +
                           (installed ? " installed successfully" : " failed to install"));
      EndProgram(installed ? 0 : kExitFailure);
      return;
    }
    if (parsed.action == CommandLine::Action::kUninstall) {
      const bool removed = NTService1.UninstallService();
      display_.ShowMessage(NTService1.ServiceTitle() +
                           (removed ? " uninstalled successfully" : " failed to uninstall"));
      EndProgram(removed ? 0 : kExitFailure);
      return;
    }
    if (parsed.action == CommandLine::Action::kDebug) {
      NTService1.SetDebugMode(true);
    } else if (parsed.action == CommandLine::Action::kInvalid) {
      display_.ShowMessage("Invalid command option");
      EndProgram(kExitInvalidOption);
      return;
    }
    NormalStart();
  } catch (const NumberedError& e) {
    HandleStartupError(e.number(), e.description());
  } catch (const std::exception& e) {
    HandleStartupError(kErrInternal, e.what());
  }
}

// Each step runs only when the ones before it succeeded: an error leaves the
// rest undone (before RunService the service is never started; at the port
// it runs and opens the port once it is there).
void frmMain::NormalStart() {
  // The reader (and its IniReadWriter) goes once the last key is read.
  ApplySettings(OpenSettings());
  StartService();
  // Before capture begins: the spool an earlier process left becomes a
  // record of its own. Leftovers are filed only once the loop runs, after
  // the start is reported and the port is open, so that a large backlog
  // neither holds up the service manager nor leaves the port unread.
  RecoverLeftovers();
  comPort.SetPortOpen(true);
}

SettingsReader frmMain::OpenSettings() {
  const SettingsFile file = ChooseSettingsFile(settings_folder_, machine_name_, instance_);
  if (!file.found) WriteLog("INI file not found - defaults will be used", LogSeverity::kWarning);
  WriteLog("Quellor Service started");
  return SettingsReader(file.path, ForInstance(DefaultDataFolder(), instance_));
}

void frmMain::ApplySettings(const SettingsReader& settings) {
  SettleDataFolder(settings.Text(kDataFolder));
  // Stored directly: the property writes would ignore values below 1.
  settings.ReadClamped(kMinimumLineLength, &min_length_);
  settings.ReadClamped(kMaximumLineLength, &max_length_);
  display_.SetVisible(IsVisibleValue(settings.Text(kVisible)));
  capture_ = std::make_unique<cStringBuilder>();
  tmrEOF->SetEnabled(false);
  ApplyPortSettings(settings);
  ReadAlarmSettings(settings);
}

// The port is configured while closed; NormalStart opens it last.
void frmMain::ApplyPortSettings(const SettingsReader& settings) {
  comPort.SetSettings(settings.Text(kSerialSettings));
  comPort.SetInputMode(kTextInputMode);
  if (const auto interval = settings.Bounded(kEndOfFileTimeInterval)) {
    SetEndOfFileTimeInterval(*interval);
  }
  if (const auto port = settings.Bounded(kCommPort)) comPort.SetCommPort(ToPortNumber(*port));
  const std::string device = settings.Text(kCommDevice);
  if (!device.empty()) comPort.SetDevicePath(device);
  comPort.SetNetworkOptions({settings.Text(kAllowFrom), settings.Count(kConnectionIdleMinutes)});
}

void frmMain::StartService() {
  InitMonthNames();
  NTService1.SetAcceptedControls(ServiceControl::kAcceptPauseContinue);
  NTService1.RunService();
  service_started_ = true;
}

void frmMain::SettleDataFolder(const std::string& configured) {
  // The configured text stands until the fallback exists: a fallback that
  // cannot be created raises and leaves it in place.
  data_folder_ = configured;
  data_folder_ =
      ResolveDataFolder(configured, JoinPath(state_folder_, ForInstance("Data", instance_)));
}

void frmMain::HandleStartupError(int number, const std::string& description) {
  const std::string text = NumberedText(number, description);
  if (NTService1.Interactive()) {
    display_.ShowMessage(text);
    EndProgram(kExitFailure);
    return;
  }
  const std::string line = "Initialisation: " + text;
  WriteLog(line, LogSeverity::kError);
  if (service_started_) {
    WaitForPort();
    return;
  }
  // Never started: a service manager waiting for the start, or restarting
  // it in a loop, learns why and the process ends.
  NTService1.SetStatusText(line);
  EndProgram(NTService1.ReportStartFailure(number, description));
}
