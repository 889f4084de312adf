// The operations of the POSIX driver kind.
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "serial/live_ports.h"
#include "serial/port_dump.h"
#include "serial/posix_device.h"

namespace bt {

namespace {

PortDevice& device_of(SerialPort& port) {
  return *port.device;
}

// Adds the device's error counts since the last look to the line errors.
void collect_line_errors(PortDevice& device) {
  if (!device.has_counters) return;
  serial_icounter_struct now{};
  if (ioctl(device.fd, TIOCGICOUNT, &now) != 0) return;
  const LineCounters& seen = device.counters_seen;
  if (now.frame != seen.frame) device.line_errors |= kLineFrame;
  if (now.overrun != seen.overrun) device.line_errors |= kLineOverrun;
  if (now.parity != seen.parity) device.line_errors |= kLineParity;
  if (now.brk != seen.brk) device.line_errors |= kLineBreak;
  if (now.buf_overrun != seen.buf_overrun) device.line_errors |= kLineRxOver;
  device.counters_seen = {now.frame, now.overrun, now.parity, now.brk, now.buf_overrun};
}

int received_waiting(PortDevice& device) {
  int waiting = 0;
  if (ioctl(device.fd, FIONREAD, &waiting) != 0 || waiting < 0) waiting = 0;
  return waiting + device.pushback_count;
}

int transmit_waiting(PortDevice& device) {
  int waiting = 0;
  if (ioctl(device.fd, TIOCOUTQ, &waiting) != 0 || waiting < 0) waiting = 0;
  return waiting;
}

int room(uint32_t size, int waiting) {
  return std::max(0, static_cast<int>(size) - waiting);
}

int fail(SerialPort& port, int32_t code) {
  port.status = code;
  return code;
}

int apply(SerialPort& port) {
  const int error = apply_settings(device_of(port).fd, device_of(port).settings);
  return error == 0 ? 0 : fail(port, map_device_error(error));
}

}  // namespace

int PosixOperations::read_char(SerialPort& port) {
  uint8_t byte = 0;
  const int result = read_block(port, &byte, 1);
  return result == 0 ? byte : result;
}

int PosixOperations::write_char(SerialPort& port, int byte) {
  const uint8_t value = static_cast<uint8_t>(byte);
  return write_block(port, &value, 1);
}

int PosixOperations::close(SerialPort& port) {
  PortDevice* device = port.device;
  const int lines = TIOCM_DTR | TIOCM_RTS;
  ioctl(device->fd, TIOCMBIC, &lines);
  // A pseudo-terminal keeps the exclusive flag while its master side lives;
  // left set, it would refuse the next open by anyone but root.
  ioctl(device->fd, TIOCNXCL);
  const int32_t result = ::close(device->fd) == 0 ? kPortOk : map_device_error(errno);
  delete device;
  unlink_port(&port);
  delete &port;
  return result;
}

int PosixOperations::set_params(SerialPort& port, int32_t baud, int parity, int data_bits,
                                int stop_bits) {
  if (baud > 115200) return fail(port, kIllegalBaud);
  PortSettings& settings = device_of(port).settings;
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
  apply(port);
  return port.status;
}

int PosixOperations::set_xonxoff(SerialPort& port, int on) {
  PortSettings& settings = device_of(port).settings;
  settings.outx = on != 0;
  settings.inx = on != 0;
  return apply(port);
}

int PosixOperations::set_rtscts(SerialPort& port, int on) {
  PortSettings& settings = device_of(port).settings;
  settings.outx_cts_flow = on != 0;
  settings.rts_control = on != 0 ? kControlHandshake : kControlDisable;
  return apply(port);
}

int PosixOperations::set_dtrdsr(SerialPort& port, int on) {
  PortSettings& settings = device_of(port).settings;
  settings.outx_dsr_flow = on != 0;
  settings.dtr_control = on != 0 ? kControlHandshake : kControlDisable;
  return apply(port);
}

int PosixOperations::set_dtr(SerialPort& port, int on) {
  device_of(port).settings.dtr_control = on != 0 ? kControlEnable : kControlDisable;
  apply_settings(device_of(port).fd, device_of(port).settings);
  return 0;
}

int PosixOperations::set_rts(SerialPort& port, int on) {
  device_of(port).settings.rts_control = on != 0 ? kControlEnable : kControlDisable;
  apply_settings(device_of(port).fd, device_of(port).settings);
  return 0;
}

int PosixOperations::tx_free(SerialPort& port) {
  PortDevice& device = device_of(port);
  collect_line_errors(device);
  return room(device.tx_queue_size, transmit_waiting(device));
}

int PosixOperations::tx_count(SerialPort& port) {
  collect_line_errors(device_of(port));
  return transmit_waiting(device_of(port));
}

int PosixOperations::rx_free(SerialPort& port) {
  PortDevice& device = device_of(port);
  collect_line_errors(device);
  return room(device.rx_queue_size, received_waiting(device));
}

int PosixOperations::rx_count(SerialPort& port) {
  collect_line_errors(device_of(port));
  return received_waiting(device_of(port));
}

int PosixOperations::clear_tx(SerialPort& port) {
  if (tcflush(device_of(port).fd, TCOFLUSH) != 0) return fail(port, map_device_error(errno));
  return 0;
}

int PosixOperations::write_block(SerialPort& port, const void* bytes, int length) {
  if (length < 0 || (bytes == nullptr && length > 0)) return fail(port, kInvalidParameter);
  PortDevice& device = device_of(port);
  collect_line_errors(device);
  // Never waits: only what fits in the transmit queue's room is handed over.
  const int to_queue = std::min(length, room(device.tx_queue_size, transmit_waiting(device)));
  const auto* data = static_cast<const uint8_t*>(bytes);
  int queued = 0;
  while (queued < to_queue) {
    const ssize_t n = ::write(device.fd, data + queued, static_cast<size_t>(to_queue - queued));
    if (n > 0) {
      queued += static_cast<int>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else if (n < 0 && errno != EAGAIN) {
      // The device is gone (EIO once the far end has closed): the same
      // failure a read reports, not a full queue worth waiting out.
      collect_line_errors(device);
      port.count = queued;
      return fail(port, kGeneralError);
    } else {
      break;  // EAGAIN: the kernel's own buffer is full; those bytes are not queued
    }
  }
  port.count = queued;
  return queued < length ? fail(port, kBufferFull) : 0;
}

int PosixOperations::read_block(SerialPort& port, void* buffer, int length) {
  if (length < 0 || (buffer == nullptr && length > 0)) return fail(port, kInvalidParameter);
  PortDevice& device = device_of(port);
  collect_line_errors(device);
  auto* out = static_cast<uint8_t*>(buffer);
  int got = std::min(length, device.pushback_count);
  if (got > 0) {
    std::memcpy(out, device.pushback, static_cast<size_t>(got));
    device.pushback_count -= got;
    std::memmove(device.pushback, device.pushback + got,
                 static_cast<size_t>(device.pushback_count));
  }
  if (got < length) {
    ssize_t n;
    do {
      n = ::read(device.fd, out + got, static_cast<size_t>(length - got));
    } while (n < 0 && errno == EINTR);
    if (n > 0) {
      got += static_cast<int>(n);
    } else if (got == 0 && !(n < 0 && errno == EAGAIN)) {
      // End of file or an error: the device is gone (far end closed, adapter
      // pulled). Reporting "nothing waiting" here would make every wait spin.
      port.count = 0;
      return fail(port, kGeneralError);
    }
  }
  port.count = got;
  return got > 0 || length == 0 ? 0 : kBufferEmpty;
}

int PosixOperations::dump(SerialPort& port, LinePrinter print_line) {
  PortDevice& device = device_of(port);
  const PortSettings& s = device.settings;
  PortDumpFields fields{};
  fields.port_type = "POSIX termios";
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
  fields.line_status = port.ops->line_status(port);
  collect_line_errors(device);
  fields.rx_count = received_waiting(device);
  fields.rx_free = room(device.rx_queue_size, fields.rx_count);
  fields.tx_count = transmit_waiting(device);
  fields.tx_free = room(device.tx_queue_size, fields.tx_count);
  fields.line_errors = device.line_errors;
  fields.modem_status = port.ops->modem_status(port);
  fields.uart_base = device.uart_base;
  print_port_dump(fields, print_line);
  return 0;
}

int PosixOperations::send_break(SerialPort& port, int ms) {
  ioctl(device_of(port).fd, TIOCSBRK);
  port_delay(&port, ms);
  ioctl(device_of(port).fd, TIOCCBRK);
  return 0;
}

int PosixOperations::modem_status(SerialPort& port) {
  int lines = 0;
  if (ioctl(device_of(port).fd, TIOCMGET, &lines) != 0) return 0;  // no modem lines here
  int status = 0;
  if (lines & TIOCM_CTS) status |= 0x10;
  if (lines & TIOCM_DSR) status |= 0x20;
  if (lines & TIOCM_RI) status |= 0x40;
  if (lines & TIOCM_CD) status |= 0x80;
  return status;
}

int PosixOperations::line_status(SerialPort& port) {
  PortDevice& device = device_of(port);
  collect_line_errors(device);
  return static_cast<int>(device.line_errors &
                          (kLineBreak | kLineFrame | kLineOverrun | kLineParity));
}

int PosixOperations::clear_line_status(SerialPort& port) {
  device_of(port).line_errors = 0;
  return 0;
}

int PosixOperations::unread(SerialPort& port, const uint8_t* bytes, int length) {
  PortDevice& device = device_of(port);
  if (length < 0 || length + device.pushback_count > static_cast<int>(sizeof device.pushback)) {
    return fail(port, kInvalidParameter);
  }
  std::memmove(device.pushback + length, device.pushback,
               static_cast<size_t>(device.pushback_count));
  std::memcpy(device.pushback, bytes, static_cast<size_t>(length));
  device.pushback_count += length;
  return 0;
}

}  // namespace bt
