#include "platform/file_system.h"

#include <algorithm>
#include <cctype>

namespace {

bool AllDigits(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(),
                                      [](unsigned char c) { return std::isdigit(c) != 0; });
}

}  // namespace

bool WriteFileReplacing(const std::string& path, const std::string& data, std::string* error) {
  ReplacingFile file(path);
  file.Append(data);
  return file.Commit(error);
}

std::string TemporaryPath(const std::string& path, unsigned long process_id, unsigned counter) {
  return path + ".tmp" + std::to_string(process_id) + "_" + std::to_string(counter);
}

bool IsTemporaryName(std::string_view file_name) {
  const size_t tmp = file_name.rfind(".tmp");
  if (tmp == std::string_view::npos || tmp == 0) return false;
  const std::string_view numbers = file_name.substr(tmp + 4);
  const size_t underscore = numbers.find('_');
  return underscore != std::string_view::npos && AllDigits(numbers.substr(0, underscore)) &&
         AllDigits(numbers.substr(underscore + 1));
}
