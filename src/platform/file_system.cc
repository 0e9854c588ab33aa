#include "platform/file_system.h"

#include "util/digits.h"

namespace {

// The process id in a name IsTemporaryName takes.
std::string_view WriterId(std::string_view file_name) {
  const std::string_view ids = file_name.substr(file_name.rfind(".tmp") + 4);
  return ids.substr(0, ids.find('_'));
}

}  // namespace

bool WriteFileReplacing(const std::string& path, const std::string& data, std::string* error) {
  ReplacingFile file(path);
  file.Append(data);
  return file.Commit(error);
}

std::string TemporaryPath(const std::string& path, unsigned long process_id, unsigned n) {
  return path + ".tmp" + std::to_string(process_id) + "_" + std::to_string(n);
}

bool IsTemporaryName(std::string_view file_name) {
  const size_t tmp = file_name.rfind(".tmp");
  if (tmp == std::string_view::npos || tmp == 0) return false;
  const std::string_view ids = file_name.substr(tmp + 4);
  const size_t underscore = ids.find('_');
  return underscore != std::string_view::npos && AllDigits(ids.substr(0, underscore)) &&
         AllDigits(ids.substr(underscore + 1));
}

void RemoveStaleTemporaries(const std::string& folder) {
  const std::string this_process = std::to_string(ThisProcessId());
  for (const std::string& name : FileNames(folder)) {
    if (!IsTemporaryName(name)) continue;
    const std::string path = JoinPath(folder, name);
    if (WriterId(name) != this_process || ModifiedBeforeThisProcess(path))
      RemoveFile(path, nullptr);
  }
}
