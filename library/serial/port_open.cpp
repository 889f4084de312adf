// SPDX-License-Identifier: MIT
// Making and opening a port object.
#include <cstdio>
#include <cstring>
#include <new>

#include "serial/device_operations.h"
#include "serial/live_ports.h"
#include "serial/platform.h"
#include "serial/port_options.h"
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

  // The device is named by what comes before the options.
  PortOptions options;
  if (parse_port_options(name, options, nullptr, 0) < 0) {
    port->status = kInvalidPort;
    return port;
  }
  char device_name[kLongestPortName + 1];
  const char* options_start = port_options_start(name);
  const size_t length =
      options_start != nullptr ? static_cast<size_t>(options_start - name) : std::strlen(name);
  std::snprintf(device_name, sizeof device_name, "%.*s", static_cast<int>(length), name);

  DeviceOperations& kind = choose_kind(device_name);
  port->driver_kind = kind.kind();
  const int opened = kind.begin(*port, device_name, options);
  if (opened == kNoMemory) {
    unlink_port(port);
    delete port;
    return hand_out_fallback();
  }
  if (opened < 0) return port;  // default operations; status holds the reason

  std::snprintf(port->device->name, sizeof port->device->name, "%s", device_name);
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
