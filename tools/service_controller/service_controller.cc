// Drives the installed Quellor service through the Service Control Manager:
//
//   service_controller query             prints the state, and the exit codes
//                                        when set ("STOPPED exit 1066
//                                        service-specific 380")
//   service_controller failure-actions   prints the reset period (seconds) and
//                                        each action with its delay (ms):
//                                        "reset 86400 restart 60000 ..."
//   service_controller pause|continue    sends the request, prints the state
//   service_controller control N         sends user control code N (128..255)
//   service_controller stop-when FILE    sends stop as soon as FILE exists
//                                        (within 10 ms; gives up after 60 s)
//   service_controller wait STATE [s]    polls until STATE (default 30 s)
//
// STATE is one of STOPPED, START_PENDING, STOP_PENDING, RUNNING,
// CONTINUE_PENDING, PAUSE_PENDING, PAUSED. Exit code 0 on success, 1 when the
// manager refuses or the wait times out, 2 for a wrong command line.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <type_traits>

#include "platform/service_control.h"

namespace {

constexpr int kFailed = 1;
constexpr int kUsage = 2;
constexpr DWORD kPollMs = 200;

struct ScHandleCloser {
  void operator()(SC_HANDLE handle) const { CloseServiceHandle(handle); }
};
using ScHandle = std::unique_ptr<std::remove_pointer_t<SC_HANDLE>, ScHandleCloser>;

constexpr struct {
  DWORD state;
  const char* name;
} kStates[] = {
    {SERVICE_STOPPED, "STOPPED"},
    {SERVICE_START_PENDING, "START_PENDING"},
    {SERVICE_STOP_PENDING, "STOP_PENDING"},
    {SERVICE_RUNNING, "RUNNING"},
    {SERVICE_CONTINUE_PENDING, "CONTINUE_PENDING"},
    {SERVICE_PAUSE_PENDING, "PAUSE_PENDING"},
    {SERVICE_PAUSED, "PAUSED"},
};

const char* StateName(DWORD state) {
  for (const auto& entry : kStates) {
    if (entry.state == state) return entry.name;
  }
  return "UNKNOWN";
}

// 0 when name is not a state.
DWORD StateNamed(const std::string& name) {
  for (const auto& entry : kStates) {
    if (name == entry.name) return entry.state;
  }
  return 0;
}

int Fail(const char* what) {
  std::fprintf(stderr, "%s failed: error %lu\n", what, GetLastError());
  return kFailed;
}

int Usage() {
  std::fprintf(stderr,
               "usage: service_controller query|failure-actions|pause|continue|control N|"
               "stop-when FILE|wait STATE [seconds]\n");
  return kUsage;
}

// The whole text as a number in [low, high]; -1 otherwise.
long ParseNumber(const std::string& text, long low, long high) {
  char* end = nullptr;
  long value = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || value < low || value > high) return -1;
  return value;
}

int PrintState(SC_HANDLE service) {
  SERVICE_STATUS status{};
  if (!QueryServiceStatus(service, &status)) return Fail("QueryServiceStatus");
  std::printf("%s", StateName(status.dwCurrentState));
  if (status.dwWin32ExitCode != NO_ERROR) std::printf(" exit %lu", status.dwWin32ExitCode);
  if (status.dwWin32ExitCode == ERROR_SERVICE_SPECIFIC_ERROR) {
    std::printf(" service-specific %lu", status.dwServiceSpecificExitCode);
  }
  std::printf("\n");
  return 0;
}

const char* ActionName(SC_ACTION_TYPE type) {
  switch (type) {
    case SC_ACTION_RESTART:
      return "restart";
    case SC_ACTION_REBOOT:
      return "reboot";
    case SC_ACTION_RUN_COMMAND:
      return "run-command";
    default:
      return "none";
  }
}

int PrintFailureActions(SC_HANDLE service) {
  DWORD needed = 0;
  QueryServiceConfig2A(service, SERVICE_CONFIG_FAILURE_ACTIONS, nullptr, 0, &needed);
  if (needed == 0) return Fail("QueryServiceConfig2");
  auto buffer = std::make_unique<BYTE[]>(needed);
  if (!QueryServiceConfig2A(service, SERVICE_CONFIG_FAILURE_ACTIONS, buffer.get(), needed,
                            &needed)) {
    return Fail("QueryServiceConfig2");
  }
  const auto* actions = reinterpret_cast<const SERVICE_FAILURE_ACTIONSA*>(buffer.get());
  std::printf("reset %lu", actions->dwResetPeriod);
  for (DWORD i = 0; i < actions->cActions; ++i) {
    std::printf(" %s %lu", ActionName(actions->lpsaActions[i].Type), actions->lpsaActions[i].Delay);
  }
  std::printf("\n");
  return 0;
}

int SendControl(SC_HANDLE service, DWORD control) {
  SERVICE_STATUS status{};
  if (!ControlService(service, control, &status)) return Fail("ControlService");
  std::printf("%s\n", StateName(status.dwCurrentState));
  return 0;
}

// A stop that follows a test's trigger at once, without the seconds a Wine
// program takes to start.
int StopWhenFileExists(SC_HANDLE service, const std::string& file) {
  const ULONGLONG deadline = GetTickCount64() + 60 * 1000;
  while (GetFileAttributesA(file.c_str()) == INVALID_FILE_ATTRIBUTES) {
    if (GetTickCount64() >= deadline) {
      std::fprintf(stderr, "timed out waiting for %s\n", file.c_str());
      return kFailed;
    }
    Sleep(10);
  }
  return SendControl(service, SERVICE_CONTROL_STOP);
}

int WaitForState(SC_HANDLE service, DWORD wanted, long seconds) {
  const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(seconds) * 1000;
  SERVICE_STATUS status{};
  for (;;) {
    if (!QueryServiceStatus(service, &status)) return Fail("QueryServiceStatus");
    if (status.dwCurrentState == wanted) break;
    if (GetTickCount64() >= deadline) {
      std::printf("%s\n", StateName(status.dwCurrentState));
      std::fprintf(stderr, "timed out waiting for %s\n", StateName(wanted));
      return kFailed;
    }
    Sleep(kPollMs);
  }
  std::printf("%s\n", StateName(status.dwCurrentState));
  return 0;
}

int Run(const std::string& command, int argc, char** argv) {
  long number = 0;
  DWORD wanted = 0;
  if (command == "control") {
    if (argc != 3 || (number = ParseNumber(argv[2], 128, 255)) < 0) return Usage();
  } else if (command == "stop-when") {
    if (argc != 3) return Usage();
  } else if (command == "wait") {
    if (argc < 3 || argc > 4 || (wanted = StateNamed(argv[2])) == 0) return Usage();
    number = argc == 4 ? ParseNumber(argv[3], 0, 86400) : 30;
    if (number < 0) return Usage();
  } else if (argc != 2 || (command != "query" && command != "pause" && command != "continue" &&
                           command != "failure-actions")) {
    return Usage();
  }

  ScHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager) return Fail("OpenSCManager");
  ScHandle service(OpenServiceA(manager.get(), ServiceControl::kServiceName,
                                SERVICE_QUERY_STATUS | SERVICE_QUERY_CONFIG | SERVICE_STOP |
                                    SERVICE_PAUSE_CONTINUE | SERVICE_USER_DEFINED_CONTROL));
  if (!service) {
    if (GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST) {
      std::printf("NOT_INSTALLED\n");
      return kFailed;
    }
    return Fail("OpenService");
  }
  if (command == "query") return PrintState(service.get());
  if (command == "failure-actions") return PrintFailureActions(service.get());
  if (command == "pause") return SendControl(service.get(), SERVICE_CONTROL_PAUSE);
  if (command == "continue") return SendControl(service.get(), SERVICE_CONTROL_CONTINUE);
  if (command == "control") return SendControl(service.get(), static_cast<DWORD>(number));
  if (command == "stop-when") return StopWhenFileExists(service.get(), argv[2]);
  return WaitForState(service.get(), wanted, number);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  return Run(argv[1], argc, argv);
}
