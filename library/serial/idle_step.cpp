// SPDX-License-Identifier: MIT
#include "serial/idle_step.h"

#include "serial/platform.h"

namespace bt {

int idle_step(PortEnvironment& environment, SerialPort* port, uint64_t remaining_us,
              InputSeen seen) {
  if (environment.idle_hook == platform::default_idle_hook) {
    return default_idle_wait(port, remaining_us, seen == InputSeen::kNoneWaiting);
  }
  return environment.idle_hook(port);
}

}  // namespace bt
