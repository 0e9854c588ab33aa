// The initialization-file functions are kernel32's own.

#include <windows.h>

#include <string>

#include "platform/profile.h"

namespace profile {

unsigned GetString(const std::string& section, const std::string& key,
                   const std::string& default_value, char* buffer, unsigned size,
                   const std::string& file_name) {
  return GetPrivateProfileStringA(section.c_str(), key.c_str(), default_value.c_str(), buffer, size,
                                  file_name.c_str());
}

bool WriteString(const std::string& section, const std::string& key, const std::string& value,
                 const std::string& file_name) {
  return WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(),
                                    file_name.c_str()) != FALSE;
}

unsigned GetSection(const std::string& section, char* buffer, unsigned size,
                    const std::string& file_name) {
  return GetPrivateProfileSectionA(section.c_str(), buffer, size, file_name.c_str());
}

}  // namespace profile
