/* SPDX-License-Identifier: MIT */
/* Preloaded into the libserialport client: libserialport refuses a device whose
 * modem lines it cannot read, and a pseudo-terminal has none (TIOCMGET and
 * friends fail with ENOTTY). On a terminal only, this answers those requests
 * as a port with every line low would; every other request goes through. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdarg.h>
#include <sys/ioctl.h>
#include <unistd.h>

typedef int (*ioctl_fn)(int, unsigned long, ...);

int ioctl(int fd, unsigned long request, ...) {
  static ioctl_fn real_ioctl;
  if (real_ioctl == NULL) real_ioctl = (ioctl_fn)dlsym(RTLD_NEXT, "ioctl");
  va_list args;
  va_start(args, request);
  void* argument = va_arg(args, void*);
  va_end(args);
  const int result = real_ioctl(fd, request, argument);
  if (result == -1 && errno == ENOTTY && isatty(fd)) {
    switch (request) {
      case TIOCMGET:
        *(int*)argument = 0;
        return 0;
      case TIOCMSET:
      case TIOCMBIS:
      case TIOCMBIC:
        return 0;
      default:
        break;
    }
  }
  return result;
}
