// How Win32ServiceControl turns a request of the manager into its event and
// reports the state that the handler's answer leads to.

#include <mutex>

#include "platform/win32/service_control-win32.h"

namespace {

constexpr DWORD kPendingWaitHintMs = 10000;
constexpr DWORD kFirstUserControl = 128;
constexpr DWORD kLastUserControl = 255;

bool IsPending(DWORD state) {
  return state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING ||
         state == SERVICE_PAUSE_PENDING || state == SERVICE_CONTINUE_PENDING;
}

}  // namespace

DWORD Win32ServiceControl::HandleControl(DWORD control) {
  std::lock_guard<std::mutex> lock(status_mutex_);
  const DWORD state = status_.dwCurrentState;
  if (control == SERVICE_CONTROL_INTERROGATE) {
    status_sink_(status_);
    return NO_ERROR;
  }
  if (state == SERVICE_STOP_PENDING || state == SERVICE_STOPPED) {
    return ERROR_SERVICE_CANNOT_ACCEPT_CTRL;
  }
  if (control == SERVICE_CONTROL_STOP || control == SERVICE_CONTROL_SHUTDOWN) {
    SetStateLocked(SERVICE_STOP_PENDING);
    loop_.Post([this] { RaiseStop(); });
    return NO_ERROR;
  }
  if (control == SERVICE_CONTROL_PAUSE || control == SERVICE_CONTROL_CONTINUE) {
    if ((ControlsAccepted(SERVICE_RUNNING) & SERVICE_ACCEPT_PAUSE_CONTINUE) == 0) {
      return ERROR_CALL_NOT_IMPLEMENTED;
    }
    if (IsPending(state)) return ERROR_SERVICE_CANNOT_ACCEPT_CTRL;
    const bool pause = control == SERVICE_CONTROL_PAUSE;
    SetStateLocked(pause ? SERVICE_PAUSE_PENDING : SERVICE_CONTINUE_PENDING);
    loop_.Post([this, pause, state] { RaisePauseOrContinue(pause, state); });
    return NO_ERROR;
  }
  if (control >= kFirstUserControl && control <= kLastUserControl) {
    loop_.Post([this, control] { RaiseControl(static_cast<int32_t>(control)); });
    return NO_ERROR;
  }
  return ERROR_CALL_NOT_IMPLEMENTED;
}

DWORD Win32ServiceControl::ControlsAccepted(DWORD state) const {
  if (state != SERVICE_RUNNING && state != SERVICE_PAUSED) return 0;
  return SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN |
         (static_cast<DWORD>(accepted_controls()) & SERVICE_ACCEPT_PAUSE_CONTINUE);
}

void Win32ServiceControl::SetStateLocked(DWORD state) {
  status_.dwCurrentState = state;
  status_.dwControlsAccepted = ControlsAccepted(state);
  status_.dwCheckPoint = IsPending(state) ? status_.dwCheckPoint + 1 : 0;
  status_.dwWaitHint = IsPending(state) ? kPendingWaitHintMs : 0;
  status_sink_(status_);
}

void Win32ServiceControl::ReportStatus(DWORD state) {
  std::lock_guard<std::mutex> lock(status_mutex_);
  SetStateLocked(state);
}

bool Win32ServiceControl::SettlePending(DWORD pending, DWORD state) {
  std::lock_guard<std::mutex> lock(status_mutex_);
  // A stop that came in meanwhile has the last word.
  if (status_.dwCurrentState != pending) return false;
  SetStateLocked(state);
  return true;
}

void Win32ServiceControl::RaiseStart() {
  bool success = false;
  if (events() != nullptr) events()->NTService1_Start(success);
  if (success) {
    SettlePending(SERVICE_START_PENDING, SERVICE_RUNNING);
  } else if (SettlePending(SERVICE_START_PENDING, SERVICE_STOP_PENDING)) {
    RaiseStop();  // a refused start ends the service
  }
}

void Win32ServiceControl::RaiseStop() {
  if (events() != nullptr) {
    events()->NTService1_Stop();
  } else {
    loop_.Quit();  // nobody to end the program: end the loop
  }
}

void Win32ServiceControl::RaisePauseOrContinue(bool pause, DWORD previous_state) {
  // Success keeps this value when the handler fails before answering.
  bool success = false;
  if (events() != nullptr) {
    if (pause) {
      events()->NTService1_Pause(success);
    } else {
      events()->NTService1_Continue(success);
    }
  }
  const DWORD done = pause ? SERVICE_PAUSED : SERVICE_RUNNING;
  SettlePending(pause ? SERVICE_PAUSE_PENDING : SERVICE_CONTINUE_PENDING,
                success ? done : previous_state);
}

void Win32ServiceControl::RaiseControl(int32_t code) {
  if (events() != nullptr) events()->NTService1_Control(code);
}
