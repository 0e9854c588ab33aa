#ifndef QUELLOR_FUZZ_FUZZ_SUPPORT_H_
#define QUELLOR_FUZZ_FUZZ_SUPPORT_H_

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <string>

// Stops the run as a finding (libFuzzer saves the input) unless condition.
inline void Check(bool condition) {
  if (!condition) std::abort();
}

// An empty folder of the process's own for the files a target works on,
// made on first use and removed when the fuzzer exits.
inline const std::string& ScratchFolder() {
  struct Folder {
    std::string path;
    Folder() : path((std::filesystem::temp_directory_path() / "quellor_fuzz.XXXXXX").string()) {
      Check(mkdtemp(path.data()) != nullptr);
    }
    ~Folder() { std::filesystem::remove_all(path); }
  };
  static const Folder folder;
  return folder.path;
}

#endif  // QUELLOR_FUZZ_FUZZ_SUPPORT_H_
