// SPDX-License-Identifier: MIT
// Making and opening a port object.
#include <cstdio>
#include <new>

#include "serial/device_operations.h"
#include "serial/live_ports.h"
#include "serial/platform.h"
#include "serial/serial_port.h"

namespace bt {

namespace {

SerialPort* open_as(int index, const char* name, bool named, int32_t baud, int parity,
                    int data_bits, int stop_bits) {
  SerialPort* port = new (std::nothrow) SerialPort{};
  if (port == nullptr) return hand_out_fallback();
  attach_port(port);
  if (!platform::host_supported()) {
    port->status = kNotSupported;
    return port;
  }
  port->port_index = index;

  DeviceOperations& kind = choose_kind(name);
  port->driver_kind = kind.kind();
  const int opened = kind.open(*port, name);
  if (opened == kNoMemory) {
    unlink_port(port);
    delete port;
    return hand_out_fallback();
  }
  if (opened < 0) return port;  // default operations; status holds the reason

  std::snprintf(port->device->name, sizeof port->device->name, "%s", name);
  port->device->named = named;
  // From here on every wait of the port is its kind's. A rejected setting
  // stays in the status; the port is open regardless.
  port->ops = &kind;
  kind.set_params(*port, baud, parity, data_bits, stop_bits);
  return port;
}

}  // namespace

SerialPort* port_open(int index, int32_t baud, int parity, int data_bits, int stop_bits) {
  char name[kLongestPortName + 1];
  const bool named = port_device_name(index, name, sizeof name);
  return open_as(index, name, named, baud, parity, data_bits, stop_bits);
}

SerialPort* port_open_named(int index, const char* name, int32_t baud, int parity, int data_bits,
                            int stop_bits) {
  return open_as(index, name, true, baud, parity, data_bits, stop_bits);
}

}  // namespace bt
