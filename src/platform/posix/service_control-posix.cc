#include "platform/posix/service_control-posix.h"

#include <fcntl.h>
#include <signal.h>
#include <systemd/sd-daemon.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

namespace {

// Not signals: the pipe's marker for "raise the start event", and the one
// for "SIGRTMIN came with a queued value", which follows it as an int.
constexpr unsigned char kStartMarker = 0;
// The exit status of a start that failed (EX_CONFIG): the unit template
// names it in RestartPreventExitStatus= so that systemd does not restart
// into the same failure for ever.
constexpr int kStartFailureExitStatus = 78;
// How long the start failure waits for systemd to take its status line: a
// message from a process already gone may not be matched to the unit.
constexpr uint64_t kNotifyBarrierMicroseconds = 2'000'000;
constexpr int32_t kWatchdogIntervalMs = 1000;
constexpr unsigned char kQueuedMarker = 0xFF;

// The write end of the pipe, for the signal handler.
volatile sig_atomic_t g_signal_pipe = -1;

extern "C" void OnSignal(int signal_number, siginfo_t* info, void* /*context*/) {
  const int saved_errno = errno;
  unsigned char message[1 + sizeof(int)] = {static_cast<unsigned char>(signal_number)};
  size_t size = 1;
  if (signal_number == SIGRTMIN && info != nullptr && info->si_code == SI_QUEUE) {
    message[0] = kQueuedMarker;
    std::memcpy(message + 1, &info->si_value.sival_int, sizeof(int));
    size = sizeof message;
  }
  // One write, shorter than PIPE_BUF: the message is never split. A full
  // pipe drops the request: the loop is far behind anyway.
  [[maybe_unused]] ssize_t ignored = write(g_signal_pipe, message, size);
  errno = saved_errno;
}

// True when the process was started with the signal ignored.
bool Ignored(int signal_number) {
  struct sigaction current = {};
  return sigaction(signal_number, nullptr, &current) == 0 && current.sa_handler == SIG_IGN;
}

bool StartedBySystemd() { return std::getenv("INVOCATION_ID") != nullptr; }

}  // namespace

PosixServiceControl::PosixServiceControl(PosixEventLoop& loop, LogSink log)
    : ServiceControlBase(std::move(log)), loop_(loop), hang_up_reopens_log_(StartedBySystemd()) {}

PosixServiceControl::~PosixServiceControl() {
  for (int signal_number : caught_) signal(signal_number, SIG_DFL);
  if (pipe_[0] < 0) return;
  g_signal_pipe = -1;
  loop_.Unwatch(pipe_[0]);
  close(pipe_[0]);
  close(pipe_[1]);
}

bool PosixServiceControl::RunService() {
  if (pipe_[0] >= 0) return false;
  if (pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0) return false;
  g_signal_pipe = pipe_[1];
  loop_.WatchReadable(pipe_[0], [this] { OnSignalPipe(); });
  CatchSignal(SIGTERM);
  CatchSignal(SIGINT);
  // A closed terminal of a run by hand, like a closed window: a stop; but a
  // run started to outlive its terminal (nohup) keeps ignoring it. Under
  // systemd no terminal closes: SIGHUP is log rotation's "reopen the log".
  if (!Ignored(SIGHUP)) CatchSignal(SIGHUP);
  if (accepted_controls() & kAcceptPauseContinue) {
    CatchSignal(SIGTSTP);
    CatchSignal(SIGCONT);
  }
  for (int signal_number = SIGRTMIN; signal_number <= SIGRTMAX; ++signal_number) {
    CatchSignal(signal_number);
  }
  StartWatchdog();
  const unsigned char start = kStartMarker;
  return write(pipe_[1], &start, 1) == 1;
}

// Pinged from a loop timer, so that a loop that hangs stops the pings.
void PosixServiceControl::StartWatchdog() {
  uint64_t interval_us = 0;
  if (debug_mode() || sd_watchdog_enabled(0, &interval_us) <= 0) return;
  watchdog_ = loop_.CreateTimer([this] { Notify("WATCHDOG=1"); });
  watchdog_->SetInterval(kWatchdogIntervalMs);
  watchdog_->SetEnabled(true);
}

void PosixServiceControl::CatchSignal(int signal_number) {
  struct sigaction action = {};
  action.sa_sigaction = OnSignal;
  // Every other signal waits until the handler is done. Otherwise a signal
  // arriving with another runs its handler first, nested, and the requests
  // reach the pipe in reverse: systemd's SIGCONT right after its SIGTERM
  // would log "Service Continued" before the stop.
  sigfillset(&action.sa_mask);
  action.sa_flags = SA_RESTART | SA_SIGINFO;
  if (sigaction(signal_number, &action, nullptr) == 0) caught_.push_back(signal_number);
}

// One request per byte (a queued value's bytes follow its marker), each
// handled to its end before the next is read; a stop ends the program, so
// nothing queued behind it is delivered.
void PosixServiceControl::OnSignalPipe() {
  unsigned char byte;
  while (!stopped_ && read(pipe_[0], &byte, 1) == 1) {
    int value = 0;
    if (byte == kStartMarker) {
      DeliverStart();
    } else if (byte != kQueuedMarker) {
      Deliver(byte);
    } else if (read(pipe_[0], &value, sizeof value) == sizeof value) {
      DeliverQueued(value);
    }
  }
}

int PosixServiceControl::ReportStartFailure(int /*number*/, const std::string& /*description*/) {
  if (!debug_mode()) sd_notify_barrier(0, kNotifyBarrierMicroseconds);
  return kStartFailureExitStatus;
}

void PosixServiceControl::SetStatusText(const std::string& text) {
  Notify(("STATUS=" + text).c_str());
}

void PosixServiceControl::Notify(const char* state) const {
  if (!debug_mode()) sd_notify(0, state);
}
