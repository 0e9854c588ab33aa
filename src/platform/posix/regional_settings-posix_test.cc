#include "platform/posix/regional_settings-posix.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace {

TEST(TimeSeparatorOfTest, TakesWhatStandsBetweenHoursAndMinutes) {
  const std::pair<std::string, std::string> cases[] = {
      {"%T", ":"},      {"%R", ":"},          {"%H:%M:%S", ":"},  {"%H.%M.%S", "."},
      {"%OH.%OM", "."}, {"%p %I:%M:%S", ":"}, {"%k h %M", " h "}, {"%%H-%H_%M", "_"},
      {"%H%M%S", ":"},  {"%H", ":"},          {"", ":"},          {"%", ":"}};
  for (const auto& [format, separator] : cases)
    EXPECT_EQ(TimeSeparatorOf(format), separator) << format;
}

}  // namespace
