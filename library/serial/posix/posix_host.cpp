// SPDX-License-Identifier: MIT
// What the POSIX host gives the driver: the host check, its microsecond clock
// and the default idle hook.
#include <time.h>

#include "serial/platform.h"
#include "serial/wait_rules.h"

namespace bt {

uint64_t port_micros() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1'000'000u +
         static_cast<uint64_t>(now.tv_nsec) / 1000u;
}

namespace platform {

bool host_supported() {
  return true;
}

// As a hook in its own right (a host's hook may pass its turns on to it) it
// knows no deadline, so it waits 1 ms at most.
int default_idle_hook(SerialPort* port) {
  return default_idle_wait(port, 1000, false);
}

int idle_without_device(SerialPort*) {
  sleep_briefly(1000);
  return 0;
}

}  // namespace platform

}  // namespace bt
