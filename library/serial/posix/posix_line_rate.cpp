// SPDX-License-Identifier: MIT
// The line rate through termios2, which takes any rate in bits per second.
// Kept apart: the kernel's termios2 header cannot share a file with <termios.h>.
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstdint>

namespace bt {

int set_line_rate(int fd, uint32_t baud) {
  struct termios2 tio {};
  if (ioctl(fd, TCGETS2, &tio) != 0) return errno;
  tio.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
  tio.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
  tio.c_ispeed = baud;
  tio.c_ospeed = baud;
  if (ioctl(fd, TCSETS2, &tio) != 0) return errno;
  return 0;
}

int get_line_rate(int fd, uint32_t& baud) {
  struct termios2 tio {};
  if (ioctl(fd, TCGETS2, &tio) != 0) return errno;
  baud = tio.c_ospeed;
  return 0;
}

}  // namespace bt
