#ifndef QUELLOR_PLATFORM_PROFILE_H_
#define QUELLOR_PLATFORM_PROFILE_H_

#include <string>

// The system's initialization-file functions (kernel32 on Windows, our own
// reader elsewhere), with the Windows profile
// functions' contract: the value (or default when the file, section or key is
// missing) is copied into buffer, cut to size - 1 characters and terminated by
// a NUL; the result is the count copied without the NUL. Section and key
// names match regardless of letter case; blanks around names and values are
// trimmed; lines starting with ";" are comments.
namespace profile {

unsigned GetString(const std::string& section, const std::string& key,
                   const std::string& default_value, char* buffer, unsigned size,
                   const std::string& file_name);

// Creates the file, section or key as needed and replaces an existing value.
bool WriteString(const std::string& section, const std::string& key, const std::string& value,
                 const std::string& file_name);

// The section's "key=value" entries, each followed by a NUL, the whole ended
// by a second NUL; cut to fit size as Windows cuts it. The result is the
// count copied without the final NUL.
unsigned GetSection(const std::string& section, char* buffer, unsigned size,
                    const std::string& file_name);

}  // namespace profile

#endif  // QUELLOR_PLATFORM_PROFILE_H_
