// SPDX-License-Identifier: MIT
// Waiting a number of milliseconds while the idle hook keeps the host going.
#include "serial/idle_step.h"
#include "serial/serial_port.h"

namespace bt {

int port_delay(SerialPort* port, int ms) {
  if (ms <= 0) return 0;
  PortEnvironment* environment = port != nullptr ? port->environment : port_environment();
  const WaitDeadline deadline = WaitDeadline::after_ms(ms);
  for (uint64_t left = deadline.left(); left > 0; left = deadline.left()) {
    const int hook = idle_step(*environment, port, left, InputSeen::kUnknown);
    if (hook < 0) return hook;
  }
  return 0;
}

}  // namespace bt
