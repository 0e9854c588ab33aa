#ifndef QUELLOR_CONFIG_INI_READ_WRITER_H_
#define QUELLOR_CONFIG_INI_READ_WRITER_H_

#include <string>

// Reads and writes values of an initialization file through the system's
// profile functions. Holds no state; every call names its file, a full path.
class IniReadWriter {
 public:
  // The value of Key in Section, or Default when the file, the section or the
  // key is missing. A key present with nothing after "=" gives "". At most
  // 127 characters: a longer value comes back cut.
  std::string GetProfile(const std::string& Section, const std::string& Key,
                         const std::string& Default, const std::string& FileName) const;

  // Creates the file, the section or the key as needed and replaces an
  // existing value. A failed write is not reported.
  void WriteProfile(const std::string& Section, const std::string& Key, const std::string& Value,
                    const std::string& FileName) const;

 private:
  friend class IniReadWriterTest;

  // The section's "key=value" entries, each ended by a NUL, cut to fit 255
  // characters as the system cuts them.
  std::string ReadProfileSection(const std::string& section, const std::string& file_name) const;
};

#endif  // QUELLOR_CONFIG_INI_READ_WRITER_H_
