// frmMain's runtime settings properties.

#include <string>

#include "config/settings.h"
#include "service/frm_main.h"

void frmMain::SetMinLength(int32_t nLen) {
  if (nLen > 0) min_length_ = nLen;
}

void frmMain::SetMaxLength(int32_t nLen) {
  if (nLen > 0) max_length_ = nLen;
}

void frmMain::SetFileLifetime(int32_t nLen) {
  if (nLen > 0) file_lifetime_ = nLen;
}

int32_t frmMain::CommPort() const { return comPort.CommPort(); }

// The port number is a 16-bit value: a larger one fails with overflow after
// the port was closed, and the port stays closed.
void frmMain::SetCommPort(int32_t nPort) {
  if (nPort < 1) return;
  WithPortClosed([&] { comPort.SetCommPort(ToPortNumber(nPort)); });
}

std::string frmMain::CommSettings() const { return comPort.Settings(); }

void frmMain::SetCommSettings(const std::string& strSettings) {
  WithPortClosed([&] { comPort.SetSettings(strSettings); });
}

int32_t frmMain::EndOfFileTimeInterval() const { return tmrEOF->Interval(); }

// A value above the timer's range is stored but the timer gets its largest
// interval: refusing it would abort start-up before the port opens and then
// fail every receipt.
void frmMain::SetEndOfFileTimeInterval(int32_t nMilliSec) {
  if (nMilliSec < 1) return;
  end_of_file_interval_ = nMilliSec;
  tmrEOF->SetEnabled(false);
  tmrEOF->SetInterval(ArmingInterval());
}

// An error stops the change at the failing step: the port then stays closed.
void frmMain::WithPortClosed(const std::function<void()>& change) {
  const bool was_open = comPort.PortOpen();
  if (was_open) comPort.SetPortOpen(false);
  change();
  if (was_open) comPort.SetPortOpen(true);
}
