#ifndef QUELLOR_PLATFORM_POSIX_LINE_SPEED_POSIX_H_
#define QUELLOR_PLATFORM_POSIX_LINE_SPEED_POSIX_H_

#include <cstdint>

// Any line speed, also one that termios names no constant for (14400,
// 28800, 56000, 128000, 256000 bits per second), through Linux's termios2.
// Kept apart from <termios.h>, whose declarations clash with the kernel's.

// Sets both speeds of the terminal fd to bits_per_second, leaving the rest
// of its mode; false (errno set) when the driver refuses.
bool SetLineSpeed(int fd, uint32_t bits_per_second);

// The input speed of the terminal fd in bits per second; 0 when it cannot
// be read.
uint32_t LineSpeed(int fd);

#endif  // QUELLOR_PLATFORM_POSIX_LINE_SPEED_POSIX_H_
