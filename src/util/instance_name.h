#ifndef QUELLOR_UTIL_INSTANCE_NAME_H_
#define QUELLOR_UTIL_INSTANCE_NAME_H_

#include <string>

// The stem of the names of the program's own files.
inline constexpr char kProgramFileStem[] = "QuellorService";

// The name of something that each capture instance has its own of (a file,
// a folder, a service): stem for the plain instance (instance ""), else
// stem + "_" + instance.
inline std::string ForInstance(const std::string& stem, const std::string& instance) {
  return instance.empty() ? stem : stem + "_" + instance;
}

#endif  // QUELLOR_UTIL_INSTANCE_NAME_H_
