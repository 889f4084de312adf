// Opening a network port: the name, the connection and, for RFC 2217, the
// negotiation that makes the server act as our serial port.
#include <memory>
#include <new>

#include "serial/net_device.h"
#include "serial/net_socket.h"
#include "serial/rfc2217_line_settings.h"

namespace bt {

namespace {

// How long the server may take to accept COM-PORT-OPTION. A server that
// accepts the connection but never negotiates fails the open after this.
constexpr uint32_t kNegotiateMs = 3000;

bool option_decided(NetDevice& device) {
  return device.session->state().option != ComPortState::Option::kPending;
}

int fail(SerialPort& port, int32_t code) {
  port.status = code;
  return code;
}

// Telnet negotiation, then the lines raised and the input flushed, as a
// serial port is at open; the line parameters follow in set_params.
int start_session(NetDevice& device) {
  device.session.reset(new (std::nothrow) Rfc2217Session(device.received, device.outgoing));
  if (!device.session || !device.session->start()) return kNoMemory;
  if (!exchange_until(device, kNegotiateMs, option_decided)) {
    return device.gone ? kGeneralError : kNoDevice;
  }
  // A telnet server that will not act as a serial port is no port of ours.
  if (device.session->state().option != ComPortState::Option::kAccepted) return kNoDevice;
  // Break, framing, parity and overrun notifications; servers start with none.
  device.session->send_command(kSetLinestateMask, 0x1E);
  if (!send_control_lines(device) || !purge_input(device)) return kGeneralError;
  return 0;
}

}  // namespace

int open_network_device(SerialPort& port, const char* text) {
  port.driver_kind = kDriverKindNetwork;
  std::unique_ptr<NetDevice> device(new (std::nothrow) NetDevice());
  if (!device) return kNoMemory;
  if (parse_net_port_name(text, device->name) != NameParse::kParsed) {
    return fail(port, kInvalidPort);
  }
  device->rx_queue_size = port.environment->rx_queue_size;
  device->tx_queue_size = port.environment->tx_queue_size;
  // The outgoing queue holds a full transmit queue with every byte doubled,
  // and the telnet commands beside it.
  if (!device->received.allocate(device->rx_queue_size + 4) ||
      !device->outgoing.allocate(2 * device->tx_queue_size + 512)) {
    return kNoMemory;
  }
  NetLineSettings& settings = device->settings;
  settings.dtr = true;
  settings.rts = true;
  settings.byte_size = 8;
  settings.baud = 9600;

  port.status = kPortOk;
  const int fd = connect_socket(device->name, kConnectMs);
  if (fd == kNoMemory) return kNoMemory;
  if (fd < 0) return fail(port, fd);
  device->fd = fd;
  if (device->name.scheme == NetScheme::kRfc2217) {
    const int started = start_session(*device);
    if (started == kNoMemory) return kNoMemory;
    if (started < 0) return fail(port, started);
  }
  // PortDevice is the POSIX kind's block; this kind keeps its own behind the
  // same pointer, told apart by driver_kind (see net_device_of).
  port.device = reinterpret_cast<PortDevice*>(device.release());
  return kPortOk;
}

}  // namespace bt
