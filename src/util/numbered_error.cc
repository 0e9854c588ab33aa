#include "util/numbered_error.h"

#include <string>

std::string NumberedText(int number, const std::string& description) {
  // Appended piece by piece: GCC 12 at -O3 warns falsely (-Wrestrict) on
  // "[" + std::to_string(...).
  std::string text = "[";
  text += std::to_string(number);
  text += "] ";
  text += description;
  return text;
}
