// Start-up: the command line, then the normal start.

#include <algorithm>
#include <exception>
#include <memory>
#include <string>

#include "config/ini_read_writer.h"
#include "config/settings.h"
#include "output/service_log.h"
#include "output/text_helpers.h"
#include "platform/defaults.h"
#include "service/frm_main.h"
#include "util/numbered_error.h"

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitInvalidOption = 2;
constexpr int kTextInputMode = 0;

}  // namespace

void frmMain::Form_Load(const std::string& command_line) {
  try {
    if (command_line == "-install") {
      NTService1.SetInteractive(true);
      const bool installed = NTService1.InstallService();
      if (installed) NTService1.SaveServiceSetting("Parameters", "TimerInterval", "10000");
      display_.ShowMessage(NTService1.ServiceTitle() +
                           (installed ? " installed successfully" : " failed to install"));
      EndProgram(installed ? 0 : kExitFailure);
      return;
    }
    if (command_line == "-uninstall") {
      const bool removed = NTService1.UninstallService();
      display_.ShowMessage(NTService1.ServiceTitle() +
                           (removed ? " uninstalled successfully" : " failed to uninstall"));
      EndProgram(removed ? 0 : kExitFailure);
      return;
    }
    if (command_line == "-debug") {
      NTService1.SetDebugMode(true);
    } else if (!command_line.empty()) {
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
  const SettingsFile file = ChooseSettingsFile(program_folder_, machine_name_);
  if (!file.found) WriteLog("INI file not found - defaults will be used");
  {
    const IniReadWriter ini;
    const auto read = [&](const char* key, const std::string& default_value) {
      return ini.GetProfile(kSettingsSection, key, default_value, file.path);
    };
    WriteLog("Quellor Service started");
    SettleDataFolder(read("DataFolder", DefaultDataFolder()));

    // Stored directly: the property writes would ignore values below 1.
    min_length_ = 12;
    if (const auto n = ParseNumber(read("MinimumLineLength", "12"))) {
      min_length_ = std::max<int32_t>(ToWholeNumber(*n), 1);
    }
    max_length_ = 110;
    if (const auto n = ParseNumber(read("MaximumLineLength", "110"))) {
      max_length_ = std::min<int32_t>(ToWholeNumber(*n), 160);
    }

    display_.SetVisible(IsVisibleValue(read("Visible", "false")));
    capture_ = std::make_unique<cStringBuilder>();
    tmrEOF->SetEnabled(false);
    comPort.SetSettings(read("Settings", "19200,n,8,1"));
    comPort.SetInputMode(kTextInputMode);
    if (const auto n = ParseNumber(read("EndOfFileTimeInterval", "2500"))) {
      SetEndOfFileTimeInterval(ToWholeNumber(*n));
    }
    if (const auto n = ParseNumber(read("CommPort", "1"))) {
      const int32_t port = ToWholeNumber(*n);
      if (port > 0) comPort.SetCommPort(ToPortNumber(port));
    }
    // Names the device directly (a by-id link, a pty) instead of a number.
    const std::string device = read("CommDevice", "");
    if (!device.empty()) comPort.SetDevicePath(device);
    ReadAlarmSettings(read);
  }
  InitMonthNames();
  NTService1.SetAcceptedControls(ServiceControl::kAcceptPauseContinue);
  NTService1.RunService();
  service_started_ = true;
  // Before capture begins, and once the service runs: a large leftover must
  // not hold up the service manager's start.
  RecoverLeftovers();
  comPort.SetPortOpen(true);
}

void frmMain::SettleDataFolder(const std::string& configured) {
  // The configured text stands until the fallback exists: a fallback that
  // cannot be created raises and leaves it in place.
  data_folder_ = configured;
  data_folder_ = ResolveDataFolder(configured, program_folder_);
}

void frmMain::HandleStartupError(int number, const std::string& description) {
  const std::string text = NumberedText(number, description);
  if (NTService1.Interactive()) {
    display_.ShowMessage(text);
    EndProgram(kExitFailure);
    return;
  }
  const std::string line = "Initialisation: " + text;
  WriteLog(line);
  if (service_started_) {
    WaitForPort();
    return;
  }
  // Never started: a service manager waiting for the start, or restarting
  // it in a loop, learns why and the process ends.
  NTService1.SetStatusText(line);
  EndProgram(NTService1.ReportStartFailure(number, description));
}
