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
constexpr int32_t kAcceptPauseContinue = 2;
constexpr int kTextInputMode = 0;

}  // namespace

void frmMain::Form_Load(const std::string& command_line) {
  bool started = false;  // RunService was called
  // Before the service was started, the manager that started the process
  // must learn of the failure, or it would wait (or restart) for nothing.
  const auto fail = [&](int number, const std::string& description) {
    HandleStartupError(number, description);
    if (!started && !ended_) EndProgram(NTService1.ReportStartFailure(number, description));
  };
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
    started = true;
    comPort.SetPortOpen(true);
  } catch (const NumberedError& e) {
    fail(e.number(), e.description());
  } catch (const std::exception& e) {
    fail(kErrInternal, e.what());
  }
}

// Each step runs only when the ones before it succeeded: an error leaves the
// rest undone (before RunService the service is never started). Form_Load
// opens the port last, once the service runs.
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
  }
  InitMonthNames();
  NTService1.SetAcceptedControls(kAcceptPauseContinue);
  NTService1.RunService();
}

void frmMain::SettleDataFolder(const std::string& configured) {
  // The configured text stands until the fallback exists: a fallback that
  // cannot be created raises and leaves it in place.
  data_folder_ = configured;
  data_folder_ = ResolveDataFolder(configured, program_folder_);
}

void frmMain::HandleStartupError(int number, const std::string& description) {
  // Appended piece by piece: GCC 12 at -O3 warns falsely (-Wrestrict) on
  // "[" + std::to_string(...).
  std::string text = "[";
  text += std::to_string(number);
  text += "] ";
  text += description;
  if (NTService1.Interactive()) {
    display_.ShowMessage(text);
    EndProgram(kExitFailure);
    return;
  }
  WriteLog("Initialisation: " + text);
}
