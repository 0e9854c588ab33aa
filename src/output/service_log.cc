#include "output/service_log.h"

#include "output/text_helpers.h"
#include "platform/file_system.h"
#include "util/instance_name.h"

namespace {

// Where the log goes. The clock and the system log are not owned: their
// setters' callers keep them alive for as long as they stay set.
struct LogTarget {
  std::string folder;
  std::string file_name = "QuellorService.log";
  const Clock* clock = nullptr;
  SystemLog* system_log = nullptr;
  bool file_failing = false;  // the last line did not reach the file
};

LogTarget& Target() {
  static LogTarget target;
  if (target.clock == nullptr) target.clock = &SystemClock();
  if (target.folder.empty()) target.folder = ProgramFolder();
  return target;
}

// Passes message on to the system log, saying first, once, that the file
// at path stopped taking lines.
void PassOn(LogTarget& target, LogSeverity severity, const std::string& message,
            const std::string& path, const std::string* file_error) {
  const bool in_file = file_error == nullptr;
  if (!in_file && !target.file_failing) {
    target.system_log->Write(LogSeverity::kError,
                             "Log file '" + path + "' cannot be written: " + *file_error, false);
  }
  target.file_failing = !in_file;
  target.system_log->Write(severity, message, in_file);
}

}  // namespace

void SetLogTarget(const std::string& folder, const Clock& clock, const std::string& instance) {
  Target().folder = folder;
  Target().file_name = ForInstance(kProgramFileStem, instance) + ".log";
  Target().clock = &clock;
}

void SetSystemLog(SystemLog* system_log) {
  Target().system_log = system_log;
  Target().file_failing = false;
}

void WriteLog(const std::string& message, LogSeverity severity) {
  try {
    LogTarget& target = Target();
    std::string line = FormatLogTime(target.clock->Now());
    line.reserve(line.size() + message.size() + 2);
    line += message;
    line += "\r\n";
    const std::string path = JoinPath(target.folder, target.file_name);
    std::string error;
    const bool in_file = AppendToFile(path, line, &error);
    if (target.system_log != nullptr) {
      PassOn(target, severity, message, path, in_file ? nullptr : &error);
    }
  } catch (...) {
    // The log is the last resort: an entry that cannot be written is lost.
  }
}
