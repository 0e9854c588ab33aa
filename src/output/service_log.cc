#include "output/service_log.h"

#include "output/text_helpers.h"
#include "platform/file_system.h"

namespace {

// Where the log goes. The clock is not owned: SetLogTarget's caller keeps it
// alive for as long as it stays the target.
struct LogTarget {
  std::string folder;
  const Clock* clock = nullptr;
};

LogTarget& Target() {
  static LogTarget target;
  if (target.clock == nullptr) target = {ProgramFolder(), &SystemClock()};
  return target;
}

}  // namespace

void SetLogTarget(const std::string& folder, const Clock& clock) { Target() = {folder, &clock}; }

void WriteLog(const std::string& message) {
  try {
    const LogTarget& target = Target();
    std::string line = FormatLogTime(target.clock->Now());
    line.reserve(line.size() + message.size() + 2);
    line += message;
    line += "\r\n";
    AppendToFile(JoinPath(target.folder, "QuellorService.log"), line, nullptr);
  } catch (...) {
    // The log is the last resort: an entry that cannot be written is lost.
  }
}
