// The operations of the network driver kind.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <new>

#include "serial/live_ports.h"
#include "serial/net_device.h"
#include "serial/port_dump.h"
#include "serial/rfc2217_line_settings.h"

namespace bt {

namespace {

int fail(SerialPort& port, int32_t code) {
  port.status = code;
  return code;
}

int room(uint32_t size, uint32_t waiting) {
  return waiting < size ? static_cast<int>(size - waiting) : 0;
}

void collect_line_errors(NetDevice& device) {
  if (device.session) device.line_errors |= device.session->state().line;
  if (device.session) device.session->state().line = 0;
}

// Flow control and lines follow the record at once; a lost connection is
// the only failure.
int apply_controls(SerialPort& port) {
  NetDevice& device = net_device_of(port);
  if (!device.session) return 0;
  return send_control_lines(device) ? 0 : fail(port, kGeneralError);
}

}  // namespace

PortOperations& network_operations() {
  // Never destroyed: ports still open at exit are closed through it.
  alignas(NetOperations) static unsigned char storage[sizeof(NetOperations)];
  static NetOperations* table = new (storage) NetOperations;
  return *table;
}

int NetOperations::read_char(SerialPort& port) {
  uint8_t byte = 0;
  const int result = read_block(port, &byte, 1);
  return result == 0 ? byte : result;
}

int NetOperations::write_char(SerialPort& port, int byte) {
  const uint8_t value = static_cast<uint8_t>(byte);
  return write_block(port, &value, 1);
}

int NetOperations::close(SerialPort& port) {
  NetDevice* device = &net_device_of(port);
  if (device->session && !device->gone) {
    // The lines drop as at a serial port's close; nothing waits for them.
    device->settings.dtr = false;
    device->settings.rts = false;
    send_control_lines(*device);
  }
  int32_t result = kPortOk;
  if (::close(device->fd) != 0 && errno != EINTR) result = kGeneralError;
  device->fd = -1;
  delete device;
  unlink_port(&port);
  delete &port;
  return result;
}

int NetOperations::set_params(SerialPort& port, int32_t baud, int parity, int data_bits,
                              int stop_bits) {
  if (baud > 115200) return fail(port, kIllegalBaud);
  NetDevice& device = net_device_of(port);
  NetLineSettings& settings = device.settings;
  // Stored before the checks, as the other kinds do; sent only when valid.
  settings.baud = static_cast<uint32_t>(baud);
  settings.byte_size = static_cast<uint8_t>(data_bits);
  const int parity_value = parity_code(parity);
  if (parity_value < 0) return fail(port, kIllegalParity);
  settings.parity = static_cast<uint8_t>(parity_value);
  const int stop_value = stop_bits_code(stop_bits);
  if (stop_value < 0) return fail(port, kIllegalStopBits);
  settings.stop_bits = static_cast<uint8_t>(stop_value);
  if (baud <= 0 || data_bits < 5 || data_bits > 8) return fail(port, kGeneralError);
  if (device.session) {
    if (const int confirmed = send_line_settings(device); confirmed < 0) fail(port, confirmed);
  }
  return port.status;
}

int NetOperations::set_xonxoff(SerialPort& port, int on) {
  NetLineSettings& settings = net_device_of(port).settings;
  settings.outx = on != 0;
  settings.inx = on != 0;
  return apply_controls(port);
}

int NetOperations::set_rtscts(SerialPort& port, int on) {
  NetLineSettings& settings = net_device_of(port).settings;
  settings.outx_cts_flow = on != 0;
  settings.rts_handshake = on != 0;
  settings.rts = false;
  return apply_controls(port);
}

int NetOperations::set_dtrdsr(SerialPort& port, int on) {
  NetLineSettings& settings = net_device_of(port).settings;
  settings.outx_dsr_flow = on != 0;
  settings.dtr_handshake = on != 0;
  settings.dtr = false;
  return apply_controls(port);
}

int NetOperations::set_dtr(SerialPort& port, int on) {
  NetLineSettings& settings = net_device_of(port).settings;
  settings.dtr = on != 0;
  settings.dtr_handshake = false;
  apply_controls(port);
  return 0;
}

int NetOperations::set_rts(SerialPort& port, int on) {
  NetLineSettings& settings = net_device_of(port).settings;
  settings.rts = on != 0;
  settings.rts_handshake = false;
  apply_controls(port);
  return 0;
}

int NetOperations::tx_free(SerialPort& port) {
  NetDevice& device = net_device_of(port);
  push_output(device);
  return room(device.tx_queue_size, device.outgoing.size());
}

int NetOperations::tx_count(SerialPort& port) {
  NetDevice& device = net_device_of(port);
  push_output(device);
  return static_cast<int>(device.outgoing.size());
}

int NetOperations::rx_free(SerialPort& port) {
  NetDevice& device = net_device_of(port);
  pull_input(device);
  return room(device.rx_queue_size, device.received.size());
}

int NetOperations::rx_count(SerialPort& port) {
  NetDevice& device = net_device_of(port);
  pull_input(device);
  return static_cast<int>(device.received.size());
}

int NetOperations::clear_tx(SerialPort& port) {
  NetDevice& device = net_device_of(port);
  // What the socket has not taken yet may hold telnet commands, which must
  // still go; the server discards the line data it holds.
  if (device.session) device.session->send_command(kPurgeData, kPurgeTransmit);
  return push_output(device) ? 0 : fail(port, kGeneralError);
}

int NetOperations::write_block(SerialPort& port, const void* bytes, int length) {
  if (length < 0 || (bytes == nullptr && length > 0)) return fail(port, kInvalidParameter);
  NetDevice& device = net_device_of(port);
  push_output(device);
  if (device.gone) {
    port.count = 0;
    return fail(port, kGeneralError);
  }
  // Never waits: only what fits in the transmit queue's room is taken.
  const auto to_queue =
      static_cast<uint32_t>(std::min(length, room(device.tx_queue_size, device.outgoing.size())));
  const auto* data = static_cast<const uint8_t*>(bytes);
  if (device.session) {
    device.session->send_data(data, to_queue);
  } else {
    device.outgoing.push(data, to_queue);
  }
  port.count = static_cast<int32_t>(to_queue);
  if (!push_output(device)) return fail(port, kGeneralError);
  return static_cast<int>(to_queue) < length ? fail(port, kBufferFull) : 0;
}

int NetOperations::read_block(SerialPort& port, void* buffer, int length) {
  if (length < 0 || (buffer == nullptr && length > 0)) return fail(port, kInvalidParameter);
  NetDevice& device = net_device_of(port);
  if (device.received.size() < static_cast<uint32_t>(length)) pull_input(device);
  const uint32_t got = device.received.take(static_cast<uint8_t*>(buffer), length);
  port.count = static_cast<int32_t>(got);
  // A connection the server closed is a device gone, never "nothing waiting".
  if (got == 0 && length > 0 && device.gone) return fail(port, kGeneralError);
  return got > 0 || length == 0 ? 0 : kBufferEmpty;
}

int NetOperations::dump(SerialPort& port, LinePrinter print_line) {
  NetDevice& device = net_device_of(port);
  const NetLineSettings& s = device.settings;
  char port_type[320];
  PortDumpFields fields{};
  if (device.session) {
    // The server's confirmed values, not what was asked for.
    const ComPortState& held = device.session->state();
    std::snprintf(port_type, sizeof port_type, "RFC 2217 %s port %u", device.name.host,
                  static_cast<unsigned>(device.name.port));
    fields.baud = held.baud;
    fields.byte_size = held.data_size;
    fields.parity = parity_code_of(held.parity);
    fields.stop_bits = stop_bits_code_of(held.stop_size);
  } else {
    std::snprintf(port_type, sizeof port_type, "TCP %s port %u", device.name.host,
                  static_cast<unsigned>(device.name.port));
    fields.baud = s.baud;
    fields.byte_size = s.byte_size;
    fields.parity = s.parity;
    fields.stop_bits = s.stop_bits;
  }
  fields.port_type = port_type;
  fields.binary = 1;
  fields.rts_control = s.rts_handshake ? 2 : s.rts ? 1 : 0;
  fields.dtr_control = s.dtr_handshake ? 2 : s.dtr ? 1 : 0;
  fields.outx_cts_flow = s.outx_cts_flow;
  fields.outx_dsr_flow = s.outx_dsr_flow;
  fields.outx = s.outx;
  fields.inx = s.inx;
  fields.xon_char = 0x11;
  fields.xoff_char = 0x13;
  fields.xon_lim = device.rx_queue_size / 4;
  fields.xoff_lim = device.rx_queue_size / 4;
  fields.line_status = port.ops->line_status(port);
  fields.rx_count = rx_count(port);
  fields.rx_free = room(device.rx_queue_size, device.received.size());
  fields.tx_count = static_cast<int>(device.outgoing.size());
  fields.tx_free = room(device.tx_queue_size, device.outgoing.size());
  fields.line_errors = device.line_errors;
  fields.modem_status = port.ops->modem_status(port);
  print_port_dump(fields, print_line);
  return 0;
}

int NetOperations::send_break(SerialPort& port, int ms) {
  NetDevice& device = net_device_of(port);
  if (device.session) {
    device.session->send_command(kSetControl, kBreakOn);
    push_output(device);
  }
  port_delay(&port, ms);
  if (device.session) {
    device.session->send_command(kSetControl, kBreakOff);
    push_output(device);
  }
  return 0;
}

int NetOperations::modem_status(SerialPort& port) {
  NetDevice& device = net_device_of(port);
  if (!device.session) return 0;  // raw TCP carries no modem lines
  pull_input(device);
  return device.session->state().modem & 0xF0;
}

int NetOperations::line_status(SerialPort& port) {
  NetDevice& device = net_device_of(port);
  pull_input(device);
  collect_line_errors(device);
  return static_cast<int>(device.line_errors & 0x1E);
}

int NetOperations::clear_line_status(SerialPort& port) {
  net_device_of(port).line_errors = 0;
  return 0;
}

int NetOperations::unread(SerialPort& port, const uint8_t* bytes, int length) {
  if (length < 0 || !net_device_of(port).received.unread(bytes, static_cast<uint32_t>(length))) {
    return fail(port, kInvalidParameter);
  }
  return 0;
}

}  // namespace bt
