// The process entry: makes the platform objects and the main window, loads
// it with the command line and handles events until the program ends.

#include <cstdio>
#include <memory>
#include <string>

#include "output/service_log.h"
#include "output/text_helpers.h"
#include "platform/clock.h"
#include "platform/computer_info.h"
#include "platform/defaults.h"
#include "platform/file_system.h"
#include "platform/platform.h"
#include "platform/regional_settings.h"
#include "platform/system_log.h"
#include "service/command_line.h"
#include "service/frm_main.h"
#include "util/instance_name.h"

namespace {

constexpr int kExitInstanceRunning = 1;

// Everything after the program's own name, as one text.
std::string ArgumentText(int argc, char** argv) {
  std::string text;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) text += ' ';
    text += argv[i];
  }
  return text;
}

// Holds the instance's lock file in folder for the life of the process, so
// that a second process of it (which would file its reports twice and take
// its spool from under it) ends at once, saying why; nullptr then.
std::unique_ptr<FileLock> LockInstance(const std::string& folder, const std::string& instance) {
  const std::string path = JoinPath(folder, ForInstance(kProgramFileStem, instance) + ".lock");
  std::string error;
  auto lock = std::make_unique<FileLock>(path, FileLock::Wait::kNo, &error);
  if (!lock->held()) {
    const std::string line = "Initialisation: " + DisplayNameFor(instance) +
                             " runs already in another process (" + path + ": " + error + ")";
    WriteLog(line, LogSeverity::kError);
    std::fprintf(stderr, "%s\n", line.c_str());
    return nullptr;
  }
  return lock;
}

}  // namespace

int main(int argc, char** argv) {
  SetRegional(ReadSystemRegionalSettings());
  const std::string command_line = ArgumentText(argc, argv);
  const ProgramFolders folders = ProgramFoldersFor(ProgramFolder());
  const Clock& clock = ProcessClock();
  const CommandLine parsed = ParseCommandLine(command_line);
  SetLogTarget(folders.log, clock, parsed.instance);
  const auto system_log = CreateSystemLog();
  SetSystemLog(system_log.get());
  std::unique_ptr<FileLock> lock;
  if (parsed.action == CommandLine::Action::kRun || parsed.action == CommandLine::Action::kDebug) {
    lock = LockInstance(folders.state, parsed.instance);
    if (!lock) return kExitInstanceRunning;
  }

  const auto platform =
      CreatePlatform(command_line, [](const std::string& line) { WriteLog(line); });
  frmMain form({*platform->loop, *platform->com_port, *platform->service, *platform->display, clock,
                folders.settings, folders.state, GetMachineName()});
  form.Form_Load(command_line);
  if (!form.Ended()) platform->loop->Run();
  return form.ExitCode();
}
