// SPDX-License-Identifier: MIT
#include "standard_streams.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace standard_streams {

unsigned guard() {
  unsigned closed = 0;
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    closed |= 1u << fd;
    // The lower descriptors are open by now, so open() takes `fd` itself.
    const int opened = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    if (opened >= 0 && opened != fd) {
      dup2(opened, fd);
      close(opened);
    }
  }
  return closed;
}

}  // namespace standard_streams
