#ifndef QUELLOR_PLATFORM_POSIX_REGIONAL_SETTINGS_POSIX_H_
#define QUELLOR_PLATFORM_POSIX_REGIONAL_SETTINGS_POSIX_H_

#include <string>

// The text that the strftime time format puts between the hours and the
// minutes ("%T" and "%R" put ":"); ":" when it puts none.
std::string TimeSeparatorOf(const std::string& time_format);

#endif  // QUELLOR_PLATFORM_POSIX_REGIONAL_SETTINGS_POSIX_H_
