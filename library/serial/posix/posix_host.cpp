// SPDX-License-Identifier: MIT
// What the POSIX host gives the driver: the host check, its millisecond tick
// and the default idle hook.
#include <time.h>

#include "serial/platform.h"
#include "serial/wait_rules.h"

namespace bt {

uint32_t port_ticks() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint32_t>(static_cast<uint64_t>(now.tv_sec) * 1000u +
                               static_cast<uint64_t>(now.tv_nsec) / 1'000'000u);
}

namespace platform {

bool host_supported() {
  return true;
}

// As a hook in its own right (a host's hook may pass its turns on to it) it
// knows no deadline, so it waits 1 ms at most.
int default_idle_hook(SerialPort* port) {
  return default_idle_wait(port, 1, false);
}

int idle_without_device(SerialPort*) {
  sleep_one_ms();
  return 0;
}

}  // namespace platform

}  // namespace bt
