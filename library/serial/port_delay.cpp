// Waiting a number of milliseconds while the idle hook keeps the host going.
#include "serial/serial_port.h"

namespace bt {

int port_delay(SerialPort* port, int ms) {
  if (ms <= 0) return 0;
  PortEnvironment* environment = port != nullptr ? port->environment : port_environment();
  const uint32_t start = port_ticks();
  // Elapsed time in unsigned arithmetic survives the tick count wrapping.
  while (port_ticks() - start < static_cast<uint32_t>(ms)) {
    const int hook = environment->idle_hook(port);
    if (hook < 0) return hook;
  }
  return 0;
}

}  // namespace bt
