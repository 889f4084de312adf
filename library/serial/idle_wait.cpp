// SPDX-License-Identifier: MIT
// The default wait, handed to the kind of the port's device.
#include "serial/device_operations.h"
#include "serial/platform.h"

namespace bt {

int default_idle_wait(SerialPort* port, uint64_t us, bool none_waiting) {
  if (port == nullptr || port->device == nullptr) return platform::idle_without_device(port);
  return device_kind(*port).idle_wait(*port, us, none_waiting);
}

}  // namespace bt
