// SPDX-License-Identifier: MIT
// Opening a network port: the name, the connection and the line control's
// start (for RFC 2217, the negotiation that makes the server our serial port).
#include <unistd.h>

#include <memory>
#include <new>

#include "serial/net/net_device.h"
#include "serial/net/net_socket.h"

namespace bt {

NetDevice::~NetDevice() {
  // The line control goes first: nothing it sends from now on has a socket.
  control.reset();
  if (fd >= 0) ::close(fd);
}

bool NetOperations::takes(const char* name) const {
  NetPortName parsed{};
  return parse_net_port_name(name, parsed) != NameParse::kNotNetwork;
}

int NetOperations::open(SerialPort& port, const char* text, const PortOptions&) {
  std::unique_ptr<NetDevice> device(new (std::nothrow) NetDevice(*port.environment));
  if (!device) return kNoMemory;
  if (parse_net_port_name(text, device->name) != NameParse::kParsed) {
    return fail(port, kInvalidPort);
  }
  // The outgoing queue holds a full transmit queue with every byte doubled,
  // and the telnet commands beside it.
  if (!device->received.allocate(device->rx_queue_size) ||
      !device->outgoing.allocate(2 * device->tx_queue_size + 512)) {
    return kNoMemory;
  }
  device->control = device->name.scheme == NetScheme::kRfc2217 ? make_rfc2217_control(*device)
                                                               : make_raw_tcp_control();
  if (!device->control) return kNoMemory;
  LineSettings& settings = device->settings;
  prepare_line_settings(settings, device->rx_queue_size);
  settings.byte_size = 8;
  settings.baud = 9600;

  port.status = kPortOk;
  const int fd = connect_socket(device->name, kConnectMs);
  if (fd == kNoMemory) return kNoMemory;
  if (fd < 0) return fail(port, fd);
  device->fd = fd;
  const int started = device->control->start(*device);
  if (started == kNoMemory) return kNoMemory;
  if (started < 0) return fail(port, started);
  port.device = device.release();
  return kPortOk;
}

}  // namespace bt
