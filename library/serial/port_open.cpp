// Making and opening a port object.
#include <new>

#include "serial/device_operations.h"
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

  char name[4096];
  port_device_name(index, name, sizeof name);
  DeviceOperations& kind = choose_kind(name);
  port->driver_kind = kind.kind();
  const int opened = kind.open(*port, name);
  if (opened == kNoMemory) {
    unlink_port(port);
    delete port;
    return hand_out_fallback();
  }
  if (opened < 0) return port;  // default operations; status holds the reason

  // From here on every wait of the port is its kind's. A rejected setting
  // stays in the status; the port is open regardless.
  port->ops = &kind;
  kind.set_params(*port, baud, parity, data_bits, stop_bits);
  return port;
}

}  // namespace bt
