// The settings file as the profile functions read and write it: any bytes
// as the file, every call within its buffer, and a value written is the
// value read back.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "platform/file_system.h"
#include "platform/profile.h"

namespace {

// A section name, key or value as the service writes them: letters (either
// case, so that names match regardless of it), digits, "_" and inner blanks.
std::string Name(FuzzedDataProvider* in, bool blanks) {
  const std::string_view characters = blanks ? "aBcD_19 " : "aBcD_19";
  std::string name = in->ConsumeRandomLengthString(8);
  for (char& c : name) c = characters[static_cast<uint8_t>(c) % characters.size()];
  const size_t first = name.find_first_not_of(' ');
  if (first == std::string::npos) return "a";
  return name.substr(first, name.find_last_not_of(' ') - first + 1);
}

// GetString and GetSection with a buffer of exactly size bytes: the result
// is NUL-terminated within it and counts what was copied.
void ReadWithin(const std::string& section, const std::string& key, unsigned size,
                const std::string& file) {
  std::vector<char> buffer(size);
  const unsigned count = profile::GetString(section, key, "default", buffer.data(), size, file);
  Check(size == 0 ? count == 0 : count < size && buffer[count] == '\0');
  const unsigned listed = profile::GetSection(section, buffer.data(), size, file);
  Check(size == 0 ? listed == 0 : listed < size && buffer[listed] == '\0');
}

std::string Read(const std::string& section, const std::string& key, const std::string& file) {
  char buffer[256];
  const unsigned count = profile::GetString(section, key, "", buffer, sizeof buffer, file);
  return std::string(buffer, count);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const std::string section = Name(&in, false);
  const std::string key = Name(&in, false);
  const std::string value = Name(&in, true);
  const unsigned buffer_size = in.ConsumeIntegralInRange<unsigned>(0, 40);
  const std::string file = JoinPath(ScratchFolder(), "QuellorService.ini");
  Check(WriteFileReplacing(file, in.ConsumeRemainingBytesAsString(), nullptr));
  ReadWithin(section, key, buffer_size, file);
  Check(profile::WriteString(section, key, value, file));
  Check(Read(section, key, file) == value);
  ReadWithin(section, key, buffer_size, file);
  return 0;
}
