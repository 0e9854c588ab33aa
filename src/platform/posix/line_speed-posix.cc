#include "platform/posix/line_speed-posix.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

bool SetLineSpeed(int fd, uint32_t bits_per_second) {
  termios2 mode;
  if (ioctl(fd, TCGETS2, &mode) != 0) return false;
  mode.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
  mode.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
  mode.c_ispeed = mode.c_ospeed = bits_per_second;
  return ioctl(fd, TCSETS2, &mode) == 0;
}

uint32_t LineSpeed(int fd) {
  termios2 mode;
  return ioctl(fd, TCGETS2, &mode) == 0 ? mode.c_ispeed : 0;
}
