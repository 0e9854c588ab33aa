#include "config/ini_read_writer.h"

#include "platform/profile.h"

namespace {

constexpr unsigned kValueBufferSize = 128;
constexpr unsigned kSectionBufferSize = 256;

}  // namespace

std::string IniReadWriter::GetProfile(const std::string& Section, const std::string& Key,
                                      const std::string& Default,
                                      const std::string& FileName) const {
  std::string buffer(kValueBufferSize, ' ');
  // Cut by the count the system returns, never by scanning for the NUL.
  const unsigned count =
      profile::GetString(Section, Key, Default, buffer.data(), kValueBufferSize, FileName);
  return buffer.substr(0, count);
}

void IniReadWriter::WriteProfile(const std::string& Section, const std::string& Key,
                                 const std::string& Value, const std::string& FileName) const {
  profile::WriteString(Section, Key, Value, FileName);
}

std::string IniReadWriter::ReadProfileSection(const std::string& section,
                                              const std::string& file_name) const {
  std::string buffer(kSectionBufferSize, ' ');
  const unsigned count = profile::GetSection(section, buffer.data(), kSectionBufferSize, file_name);
  return buffer.substr(0, count);
}
