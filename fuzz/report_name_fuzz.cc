// The report name becomes part of file names and of the index: whatever the
// print-out, it is empty, a journal name, or 1 to 16 ASCII letters, digits
// and "_".

#include <algorithm>
#include <cstdint>
#include <string>

#include "capture/report_name.h"
#include "fuzz_support.h"

namespace {

bool IsNameCharacter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string name = GetReportName(std::string(reinterpret_cast<const char*>(data), size));
  Check(std::all_of(name.begin(), name.end(), IsNameCharacter));
  Check(name.size() <= 16 || name.ends_with("Journal"));
  return 0;
}
