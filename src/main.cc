// The process entry: makes the platform objects and the main window, loads
// it with the command line and handles events until the program ends.

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
#include "service/frm_main.h"

namespace {

// Everything after the program's own name, as one text.
std::string ArgumentText(int argc, char** argv) {
  std::string text;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) text += ' ';
    text += argv[i];
  }
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  SetRegional(ReadSystemRegionalSettings());
  const std::string command_line = ArgumentText(argc, argv);
  const ProgramFolders folders = ProgramFoldersFor(ProgramFolder());
  const Clock& clock = ProcessClock();
  SetLogTarget(folders.log, clock);
  const auto system_log = CreateSystemLog();
  SetSystemLog(system_log.get());

  const auto platform =
      CreatePlatform(command_line, [](const std::string& line) { WriteLog(line); });
  frmMain form({*platform->loop, *platform->com_port, *platform->service, *platform->display, clock,
                folders.settings, folders.state, GetMachineName()});
  form.Form_Load(command_line);
  if (!form.Ended()) platform->loop->Run();
  return form.ExitCode();
}
