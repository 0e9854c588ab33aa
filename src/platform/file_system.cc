#include "platform/file_system.h"

bool WriteFileReplacing(const std::string& path, const std::string& data, std::string* error) {
  ReplacingFile file(path);
  file.Append(data);
  return file.Commit(error);
}
