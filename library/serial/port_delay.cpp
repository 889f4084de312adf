// SPDX-License-Identifier: MIT
// Waiting a number of milliseconds while the idle hook keeps the host going.
#include "serial/idle_step.h"
#include "serial/serial_port.h"

namespace bt {

int port_delay(SerialPort* port, int ms) {
  if (ms <= 0) return 0;
  PortEnvironment* environment = port != nullptr ? port->environment : port_environment();
  const uint32_t start = port_ticks();
  // Elapsed time in unsigned arithmetic survives the tick count wrapping.
  for (uint32_t elapsed = 0; elapsed < static_cast<uint32_t>(ms); elapsed = port_ticks() - start) {
    const int hook =
        idle_step(*environment, port, static_cast<uint32_t>(ms) - elapsed, InputSeen::kUnknown);
    if (hook < 0) return hook;
  }
  return 0;
}

}  // namespace bt
