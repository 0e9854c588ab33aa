#include "platform/posix/service_control-posix.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <systemd/sd-daemon.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "output/service_log.h"
#include "platform/file_system.h"
#include "platform/posix/unit_template.h"
#include "platform/profile.h"

namespace {

constexpr char kDefaultUnitFolder[] = "/etc/systemd/system";
constexpr char kUnitFolderVariable[] = "QUELLOR_SYSTEMD_DIR";
constexpr char kUnitName[] = "quellor.service";
constexpr char kParametersFile[] = "parameters.conf";
constexpr int32_t kAcceptPauseContinue = 2;
constexpr int32_t kFirstControlCode = 128;
constexpr int32_t kLastControlCode = 255;
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

std::string ExecutablePath() {
  char buffer[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer);
  return length > 0 ? std::string(buffer, static_cast<size_t>(length)) : "";
}

// A path as the inside of a quoted word of a unit file: backslash and quote
// escaped, "%" doubled so it is not taken for a specifier.
std::string UnitEscaped(const std::string& path) {
  std::string escaped;
  for (char c : path) {
    if (c == '\\' || c == '"') escaped += '\\';
    if (c == '%') escaped += '%';
    escaped += c;
  }
  return escaped;
}

void Substitute(const std::string& placeholder, const std::string& value, std::string& text) {
  for (size_t at = text.find(placeholder); at != std::string::npos;
       at = text.find(placeholder, at + value.size())) {
    text.replace(at, placeholder.size(), value);
  }
}

// The unit text is shared with the Debian package, which fills in the same
// placeholders for /opt/quellor (packaging/quellor.service.in). The settings,
// the log and the "Data" fallback live in the program folder, and the default
// data folder under /var/lib/quellor: both stay writable. Devices stay
// reachable (no PrivateDevices) so the serial line can be opened.
std::string UnitText(const std::string& executable) {
  std::string text = kUnitTemplate;
  Substitute("@QUELLOR_EXECUTABLE@", UnitEscaped(executable), text);
  Substitute("@QUELLOR_PROGRAM_FOLDER@", UnitEscaped(executable.substr(0, executable.rfind('/'))),
             text);
  return "# Written by QuellorService -install; removed by QuellorService -uninstall.\n" + text;
}

std::string UnitPath() { return JoinPath(PosixServiceControl::UnitFolder(), kUnitName); }
std::string DropInFolder() { return UnitPath() + ".d"; }

// Tells a running systemd; tests redirect the unit folder and so never reach
// the system's service manager.
void Systemctl(const std::string& arguments) {
  if (PosixServiceControl::UnitFolder() != kDefaultUnitFolder) return;
  if (!FolderExists("/run/systemd/system")) return;
  [[maybe_unused]] int ignored =
      std::system(("systemctl " + arguments + " >/dev/null 2>&1").c_str());
}

// True when the process was started with the signal ignored.
bool Ignored(int signal_number) {
  struct sigaction current = {};
  return sigaction(signal_number, nullptr, &current) == 0 && current.sa_handler == SIG_IGN;
}

bool StartedBySystemd() { return std::getenv("INVOCATION_ID") != nullptr; }

}  // namespace

PosixServiceControl::PosixServiceControl(PosixEventLoop& loop)
    : ServiceControlBase(isatty(STDIN_FILENO) && !StartedBySystemd()), loop_(loop) {}

PosixServiceControl::~PosixServiceControl() {
  for (int signal_number : caught_) signal(signal_number, SIG_DFL);
  if (pipe_[0] < 0) return;
  g_signal_pipe = -1;
  loop_.Unwatch(pipe_[0]);
  close(pipe_[0]);
  close(pipe_[1]);
}

std::string PosixServiceControl::UnitFolder() {
  const char* folder = std::getenv(kUnitFolderVariable);
  return folder != nullptr && *folder != '\0' ? folder : kDefaultUnitFolder;
}

bool PosixServiceControl::InstallService() {
  const std::string executable = ExecutablePath();
  // An existing unit is another installation's: it is left as it is.
  if (FileExists(UnitPath())) return false;
  if (executable.empty() || !WriteFileReplacing(UnitPath(), UnitText(executable), nullptr)) {
    return false;
  }
  chmod(UnitPath().c_str(), 0644);
  // Started with the system, as an installed service is on Windows.
  Systemctl("daemon-reload");
  Systemctl(std::string("enable ") + kUnitName);
  return true;
}

bool PosixServiceControl::UninstallService() {
  if (!FileExists(UnitPath())) return false;
  Systemctl(std::string("disable ") + kUnitName);
  if (unlink(UnitPath().c_str()) != 0) return false;
  unlink(JoinPath(DropInFolder(), kParametersFile).c_str());
  rmdir(DropInFolder().c_str());
  Systemctl("daemon-reload");
  return true;
}

void PosixServiceControl::SaveServiceSetting(const std::string& section, const std::string& key,
                                             const std::string& value) {
  if (!FolderExists(DropInFolder()) && !CreateFolder(DropInFolder(), nullptr)) return;
  profile::WriteString("X-" + section, key, value, JoinPath(DropInFolder(), kParametersFile));
}

bool PosixServiceControl::RunService() {
  if (pipe_[0] >= 0) return false;
  if (pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0) return false;
  g_signal_pipe = pipe_[1];
  loop_.WatchReadable(pipe_[0], [this] { OnSignalPipe(); });
  CatchSignal(SIGTERM);
  CatchSignal(SIGINT);
  // A closed terminal of a run by hand, like a closed window: a stop; but a
  // run started to outlive its terminal (nohup) keeps ignoring it.
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
    if (byte != kQueuedMarker) {
      Deliver(byte);
    } else if (read(pipe_[0], &value, sizeof value) == sizeof value) {
      DeliverQueued(value);
    }
  }
}

// SIGRTMIN with a queued value carries the control code itself.
void PosixServiceControl::DeliverQueued(int value) {
  if (events() == nullptr) return;
  if (value >= kFirstControlCode && value <= kLastControlCode) {
    events()->NTService1_Control(value);
  } else {
    WriteLog("Control refused: " + std::to_string(value) + " is not a control code (128 to 255)");
  }
}

void PosixServiceControl::Deliver(int signal_number) {
  if (events() == nullptr) return;
  bool success = false;
  if (signal_number == kStartMarker) {
    events()->NTService1_Start(success);
    if (success) Notify("READY=1\nSTATUS=Running");
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
