#include "platform/file_system.h"

#include <algorithm>
#include <cctype>

bool WriteFileReplacing(const std::string& path, const std::string& data, std::string* error) {
  ReplacingFile file(path);
  file.Append(data);
  return file.Commit(error);
}

namespace {

bool AllDigits(std::string_view text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
}

// ReplacingFile's temporaries are named final name + ".tmp" + process id +
// "_" + counter; no report, index, log or settings file ends that way.
bool IsTemporaryName(std::string_view name) {
  const size_t tmp = name.rfind(".tmp");
  if (tmp == std::string_view::npos) return false;
  const std::string_view tail = name.substr(tmp + 4);
  const size_t underscore = tail.find('_');
  return underscore != std::string_view::npos && AllDigits(tail.substr(0, underscore)) &&
         AllDigits(tail.substr(underscore + 1));
}

}  // namespace

void RemoveLeftoverTemporaries(const std::string& folder) {
  for (const std::string& name : FileNames(folder)) {
    if (IsTemporaryName(name)) RemoveFile(JoinPath(folder, name), nullptr);
  }
}
