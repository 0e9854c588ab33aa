#ifndef QUELLOR_TESTS_SUPPORT_TEMP_FOLDER_H_
#define QUELLOR_TESTS_SUPPORT_TEMP_FOLDER_H_

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

// A fresh, empty folder under the system's temporary folder, removed with
// everything in it when the object goes.
class TempFolder {
 public:
  TempFolder() {
    std::random_device random;
    do {
      path_ = std::filesystem::temp_directory_path() / ("quellor_" + std::to_string(random()));
    } while (!std::filesystem::create_directory(path_));
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }

  // The folder in the platform's own spelling ("\" on Windows).
  std::string path() const { return path_.string(); }

  // path() joined with a relative path written with "/".
  std::string operator/(const std::string& relative) const {
    return (path_ / std::filesystem::path(relative).make_preferred()).string();
  }

 private:
  std::filesystem::path path_;
};

// The bytes of the file at path; empty when it cannot be read.
inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Replaces the file at path with data, byte for byte.
inline void WriteBytes(const std::string& path, const std::string& data) {
  std::ofstream(path, std::ios::binary) << data;
}

#endif  // QUELLOR_TESTS_SUPPORT_TEMP_FOLDER_H_
