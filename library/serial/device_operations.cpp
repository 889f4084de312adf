// SPDX-License-Identifier: MIT
// The operations every driver kind shares.
#include "serial/device_operations.h"

#include <algorithm>
#include <cstring>

#include "serial/echo_check.h"
#include "serial/live_ports.h"

namespace bt {

namespace {

PortDevice& device_of(SerialPort& port) {
  return *port.device;
}

int take_pushback(PortDevice& device, uint8_t* out, int length) {
  const int n = std::min(length, device.pushback_count);
  if (n <= 0) return 0;
  std::memcpy(out, device.pushback, static_cast<size_t>(n));
  device.pushback_count -= n;
  std::memmove(device.pushback, device.pushback + n, static_cast<size_t>(device.pushback_count));
  return n;
}

}  // namespace

DeviceOperations& device_kind(SerialPort& port) {
  // A port gets its kind's table as soon as its device is open (port_open),
  // so a port with a device always holds one.
  return static_cast<DeviceOperations&>(*port.ops);
}

void prepare_line_settings(LineSettings& settings, uint32_t rx_queue_size) {
  settings.binary = true;
  settings.parity_check = false;
  settings.null_discard = false;
  settings.outx_cts_flow = false;
  settings.outx_dsr_flow = false;
  settings.dtr_control = kControlEnable;
  settings.rts_control = kControlEnable;
  // A fresh Linux terminal has software flow control on as a line-discipline
  // default, not as a choice of the device's owner; raw mode turns it off.
  settings.outx = false;
  settings.inx = false;
  settings.xon_char = 0x11;
  settings.xoff_char = 0x13;
  settings.xon_lim = static_cast<uint16_t>(rx_queue_size / 4);
  settings.xoff_lim = static_cast<uint16_t>(rx_queue_size / 4);
  settings.eof_char = 0;
  settings.evt_char = 0;
}

int DeviceOperations::read_char(SerialPort& port) {
  uint8_t byte = 0;
  const int result = read_block(port, &byte, 1);
  return result == 0 ? byte : result;
}

int DeviceOperations::write_char(SerialPort& port, int byte) {
  const uint8_t value = static_cast<uint8_t>(byte);
  return write_block(port, &value, 1);
}

int DeviceOperations::close(SerialPort& port) {
  const int result = release(port);
  delete port.device;
  port.device = nullptr;
  unlink_port(&port);
  delete &port;
  return result;
}

int DeviceOperations::set_params(SerialPort& port, int32_t baud, int parity, int data_bits,
                                 int stop_bits) {
  if (baud > 115200) return fail(port, kIllegalBaud);
  LineSettings& settings = device_of(port).settings;
  // Stored before the other checks: a call refused below still leaves these
  // for the next setting that applies the record.
  settings.baud = static_cast<uint32_t>(baud);
  settings.byte_size = static_cast<uint8_t>(data_bits);
  if (data_bits < 0 || data_bits > 255) settings.byte_size = 0;  // never valid when applied
  const int parity_value = parity_code(parity);
  if (parity_value < 0) return fail(port, kIllegalParity);
  settings.parity = static_cast<uint8_t>(parity_value);
  const int stop_value = stop_bits_code(stop_bits);
  if (stop_value < 0) return fail(port, kIllegalStopBits);
  settings.stop_bits = static_cast<uint8_t>(stop_value);
  // No line runs at these on any kind: refused before the device sees them.
  if (baud <= 0 || data_bits < 5 || data_bits > 8) return fail(port, kGeneralError);
  if (const int applied = apply_line_settings(port); applied < 0) fail(port, applied);
  return port.status;
}

int DeviceOperations::apply_controls_or_fail(SerialPort& port) {
  const int applied = apply_control_lines(port);
  return applied < 0 ? fail(port, applied) : 0;
}

int DeviceOperations::set_xonxoff(SerialPort& port, int on) {
  LineSettings& settings = device_of(port).settings;
  settings.outx = on != 0;
  settings.inx = on != 0;
  return apply_controls_or_fail(port);
}

int DeviceOperations::set_rtscts(SerialPort& port, int on) {
  LineSettings& settings = device_of(port).settings;
  settings.outx_cts_flow = on != 0;
  settings.rts_control = on != 0 ? kControlHandshake : kControlDisable;
  return apply_controls_or_fail(port);
}

int DeviceOperations::set_dtrdsr(SerialPort& port, int on) {
  LineSettings& settings = device_of(port).settings;
  settings.outx_dsr_flow = on != 0;
  settings.dtr_control = on != 0 ? kControlHandshake : kControlDisable;
  return apply_controls_or_fail(port);
}

// Raising or dropping one line never fails the port.
int DeviceOperations::set_dtr(SerialPort& port, int on) {
  device_of(port).settings.dtr_control = on != 0 ? kControlEnable : kControlDisable;
  apply_control_lines(port);
  return 0;
}

int DeviceOperations::set_rts(SerialPort& port, int on) {
  device_of(port).settings.rts_control = on != 0 ? kControlEnable : kControlDisable;
  apply_control_lines(port);
  return 0;
}

int DeviceOperations::tx_free(SerialPort& port) {
  return room(device_of(port).tx_queue_size, output_waiting(port));
}

int DeviceOperations::tx_count(SerialPort& port) {
  return output_waiting(port);
}

int DeviceOperations::rx_free(SerialPort& port) {
  return room(device_of(port).rx_queue_size, rx_count(port));
}

int DeviceOperations::rx_count(SerialPort& port) {
  // Echo bytes that wait are not for the caller.
  const int waiting = std::max(0, input_waiting(port) - device_of(port).echo.pending());
  return waiting + device_of(port).pushback_count;
}

int DeviceOperations::write_block(SerialPort& port, const void* bytes, int length) {
  if (length < 0 || (bytes == nullptr && length > 0)) return fail(port, kInvalidParameter);
  // Never waits: only what fits in the transmit queue's room is handed over.
  const int to_queue = std::min(length, tx_free(port));
  int queued = 0;
  const auto* data = static_cast<const uint8_t*>(bytes);
  PortDevice& device = device_of(port);
  const int result = device.options.rts_toggle ? transmit_toggled(port, data, to_queue, queued)
                                               : transmit(port, data, to_queue, queued);
  port.count = queued;
  if (device.options.echo && queued > 0) {
    device.echo.expect(data, queued, port_ticks(), wire_time_ms(device.settings, queued));
  }
  // A device gone fails as a read does, not as a full queue worth waiting out.
  if (result < 0) return fail(port, result);
  return queued < length ? fail(port, kBufferFull) : 0;
}

int DeviceOperations::read_block(SerialPort& port, void* buffer, int length) {
  if (length < 0 || (buffer == nullptr && length > 0)) return fail(port, kInvalidParameter);
  refresh(port);
  auto* out = static_cast<uint8_t*>(buffer);
  int got = take_pushback(device_of(port), out, length);
  EchoCheck& echo = device_of(port).echo;
  if (got < length && echo.pending() > 0) {
    // The echo comes first and is never delivered.
    if (const int gone = take_echo(port); gone < 0 && got == 0) {
      port.count = 0;
      return fail(port, gone);
    }
  }
  // A fault in the echo fails the first read that has nothing else to give,
  // once, as a device gone does.
  if (got == 0 && length > 0) {
    if (const int fault = echo.take_fault(); fault < 0) {
      port.count = 0;
      return fail(port, fault);
    }
  }
  if (got < length && echo.pending() == 0) {
    const int n = receive(port, out + got, length - got);
    // A device gone is a failure, never "nothing waiting", so no wait spins
    // on it; bytes already taken are delivered and the next read fails.
    if (n < 0 && got == 0) {
      port.count = 0;
      return fail(port, n);
    }
    if (n > 0) got += n;
  }
  port.count = got;
  return got > 0 || length == 0 ? 0 : kBufferEmpty;
}

int DeviceOperations::dump(SerialPort& port, LinePrinter print_line) {
  PortDevice& device = device_of(port);
  const LineSettings& s = device.settings;
  PortDumpFields fields{};
  fields.baud = s.baud;
  fields.byte_size = s.byte_size;
  fields.parity = s.parity;
  fields.stop_bits = s.stop_bits;
  fields.binary = s.binary;
  fields.rts_control = s.rts_control;
  fields.parity_check = s.parity_check;
  fields.outx_cts_flow = s.outx_cts_flow;
  fields.outx_dsr_flow = s.outx_dsr_flow;
  fields.dtr_control = s.dtr_control;
  fields.outx = s.outx;
  fields.inx = s.inx;
  fields.null_discard = s.null_discard;
  fields.xon_char = s.xon_char;
  fields.xoff_char = s.xoff_char;
  fields.xon_lim = s.xon_lim;
  fields.xoff_lim = s.xoff_lim;
  fields.eof_char = s.eof_char;
  fields.evt_char = s.evt_char;
  char port_type[320] = "";
  describe(port, fields, port_type, sizeof port_type);
  fields.line_status = line_status(port);
  fields.rx_count = rx_count(port);
  fields.rx_free = room(device.rx_queue_size, fields.rx_count);
  fields.tx_count = output_waiting(port);
  fields.tx_free = room(device.tx_queue_size, fields.tx_count);
  fields.line_errors = device.line_errors;
  fields.modem_status = modem_status(port);
  fields.uart_base = device.uart_base;
  print_port_dump(fields, print_line);
  return 0;
}

int DeviceOperations::send_break(SerialPort& port, int ms) {
  set_break(port, true);
  port_delay(&port, ms);
  set_break(port, false);
  return 0;
}

int DeviceOperations::line_status(SerialPort& port) {
  collect_line_errors(port);
  return static_cast<int>(device_of(port).line_errors & kLineStatusBits);
}

int DeviceOperations::clear_line_status(SerialPort& port) {
  device_of(port).line_errors = 0;
  return 0;
}

int DeviceOperations::unread(SerialPort& port, const uint8_t* bytes, int length) {
  PortDevice& device = device_of(port);
  if (length < 0 || (bytes == nullptr && length > 0) ||
      length + device.pushback_count > static_cast<int>(sizeof device.pushback)) {
    return fail(port, kInvalidParameter);
  }
  std::memmove(device.pushback + length, device.pushback,
               static_cast<size_t>(device.pushback_count));
  if (length > 0) std::memcpy(device.pushback, bytes, static_cast<size_t>(length));
  device.pushback_count += length;
  return 0;
}

}  // namespace bt
