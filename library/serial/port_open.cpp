// Making and opening a port object.
#include <new>

#include "serial/live_ports.h"
#include "serial/platform.h"
#include "serial/serial_port.h"

namespace bt {

SerialPort* port_open(int index, int32_t baud, int parity, int data_bits, int stop_bits) {
  SerialPort* port = new (std::nothrow) SerialPort{};
  if (port == nullptr) return hand_out_fallback();
  attach_port(port);
  if (!platform::host_supported()) {
    port->status = kNotSupported;
    return port;
  }
  port->port_index = index;

  const int opened = platform::open_device(*port);
  if (opened == kNoMemory) {
    unlink_port(port);
    delete port;
    return hand_out_fallback();
  }
  if (opened < 0) return port;  // default operations; status holds the reason

  // A rejected setting stays in the status; the port is open regardless.
  PortOperations& kind = platform::operations(*port);
  kind.set_params(*port, baud, parity, data_bits, stop_bits);
  port->ops = &kind;
  return port;
}

}  // namespace bt
