// frmMain's watch over the serial port: a port that goes away (an adapter
// unplugged, a device failing) or that could not be opened at start is
// opened again by itself, so the service is never left running deaf.

#include <exception>
#include <string>

#include "output/service_log.h"
#include "service/frm_main.h"
#include "util/numbered_error.h"

namespace {

// Seconds between two attempts to open a port that is away: quick enough to
// catch a replugged adapter, rare enough to cost nothing.
constexpr int64_t kRetrySeconds = 5;
// Seconds between two log lines while the port stays away, so that a port
// gone for days does not fill the log.
constexpr int64_t kReminderSeconds = 3600;

}  // namespace

// A loss is not an error of the caller's step: the text received before it
// was already returned, and the report being gathered is cut at its normal
// silence.
std::string frmMain::TakePortInput() {
  if (!comPort.PortOpen()) return "";
  try {
    return comPort.Input();
  } catch (const NumberedError& e) {
    if (e.number() != kErrPortReadFailed) throw;
    PortLost(e.description());
    return "";
  }
}

void frmMain::PortLost(const std::string& reason) {
  WriteLog("Port lost: " + reason, LogSeverity::kError);
  RunLoggingErrors("Port lost: ", [&] { comPort.SetPortOpen(false); });
  WaitForPort();
}

void frmMain::WaitForPort() {
  port_away_ = true;
  port_away_ticks_ = 0;
}

// Runs every second; the port is only touched every kRetrySeconds.
void frmMain::RetryPort() {
  if (!port_away_ || ++port_away_ticks_ % kRetrySeconds != 0) return;
  try {
    comPort.SetPortOpen(true);
  } catch (const std::exception& e) {
    if (port_away_ticks_ % kReminderSeconds == 0) {
      WriteLog(std::string("Port still unavailable: ") + e.what(), LogSeverity::kError);
    }
    return;
  }
  port_away_ = false;
  WriteLog("Port reopened: " + comPort.DevicePath());
}
