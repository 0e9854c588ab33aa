// How PosixServiceControl turns a request into its event and tells systemd
// what the handler answered.

#include <signal.h>

#include <string>

#include "platform/posix/service_control-posix.h"

namespace {

constexpr int32_t kFirstControlCode = 128;
constexpr int32_t kLastControlCode = 255;

}  // namespace

void PosixServiceControl::DeliverStart() {
  if (events() == nullptr) return;
  bool success = false;
  events()->NTService1_Start(success);
  if (success) Notify("READY=1\nSTATUS=Running");
}

void PosixServiceControl::Deliver(int signal_number) {
  if (events() == nullptr) return;
  bool success = false;
  if (signal_number == SIGHUP && hang_up_reopens_log_) {
    // Every line opens the log anew: a rotated log is followed from the
    // next line on, and saying so is that line.
    Log("Log file reopened (SIGHUP)");
  } else if (signal_number == SIGTERM || signal_number == SIGINT || signal_number == SIGHUP) {
    stopped_ = true;
    Notify("STOPPING=1");
    events()->NTService1_Stop();
  } else if (signal_number == SIGTSTP) {
    events()->NTService1_Pause(success);
    if (success) Notify("STATUS=Paused");
  } else if (signal_number == SIGCONT) {
    events()->NTService1_Continue(success);
    if (success) Notify("STATUS=Running");
  } else if (signal_number >= SIGRTMIN && signal_number <= SIGRTMAX) {
    events()->NTService1_Control(kFirstControlCode + signal_number - SIGRTMIN);
  }
}

// SIGRTMIN with a queued value carries the control code itself.
void PosixServiceControl::DeliverQueued(int value) {
  if (events() == nullptr) return;
  if (value >= kFirstControlCode && value <= kLastControlCode) {
    events()->NTService1_Control(value);
  } else {
    Log("Control refused: " + std::to_string(value) + " is not a control code (128 to 255)");
  }
}
