// SPDX-License-Identifier: MIT
// What the POSIX driver kind does its own way: termios, ioctl and the
// descriptor's reads and writes.
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <new>

#include "serial/driver_kinds.h"
#include "serial/posix/posix_device.h"

namespace bt {

DeviceOperations& posix_kind() {
  return operations_table<PosixOperations>();
}

void PosixOperations::collect_line_errors(SerialPort& port) {
  PosixDevice& device = posix_device_of(port);
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

int PosixOperations::input_waiting(SerialPort& port) {
  collect_line_errors(port);
  int waiting = 0;
  if (ioctl(posix_device_of(port).fd, FIONREAD, &waiting) != 0 || waiting < 0) waiting = 0;
  return waiting;
}

int PosixOperations::output_waiting(SerialPort& port) {
  collect_line_errors(port);
  int waiting = 0;
  if (ioctl(posix_device_of(port).fd, TIOCOUTQ, &waiting) != 0 || waiting < 0) waiting = 0;
  return waiting;
}

int PosixOperations::apply_line_settings(SerialPort& port) {
  const int error = apply_settings(posix_device_of(port).fd, port.device->settings);
  return error == 0 ? 0 : map_device_error(error);
}

int PosixOperations::release(SerialPort& port) {
  PosixDevice& device = posix_device_of(port);
  const int lines = TIOCM_DTR | TIOCM_RTS;
  ioctl(device.fd, TIOCMBIC, &lines);
  restore_line_mode(device);
  // A pseudo-terminal keeps the exclusive flag while its master side lives;
  // left set, it would refuse the next open by anyone but root.
  ioctl(device.fd, TIOCNXCL);
  const int32_t result = ::close(device.fd) == 0 ? kPortOk : map_device_error(errno);
  device.fd = -1;
  return result;
}

int PosixOperations::clear_tx(SerialPort& port) {
  if (tcflush(posix_device_of(port).fd, TCOFLUSH) != 0) return fail(port, map_device_error(errno));
  return 0;
}

int PosixOperations::transmit(SerialPort& port, const uint8_t* bytes, int length, int& queued) {
  PosixDevice& device = posix_device_of(port);
  while (queued < length) {
    const ssize_t n = ::write(device.fd, bytes + queued, static_cast<size_t>(length - queued));
    if (n > 0) {
      queued += static_cast<int>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else if (n < 0 && errno != EAGAIN) {
      // The device is gone (EIO once the far end has closed).
      collect_line_errors(port);
      return kGeneralError;
    } else {
      break;  // EAGAIN: the kernel's own buffer is full; those bytes are not queued
    }
  }
  return 0;
}

int PosixOperations::receive(SerialPort& port, uint8_t* out, int length) {
  ssize_t n;
  do {
    n = ::read(posix_device_of(port).fd, out, static_cast<size_t>(length));
  } while (n < 0 && errno == EINTR);
  if (n > 0) return static_cast<int>(n);
  // End of file or an error: the device is gone (far end closed, adapter
  // pulled).
  return n < 0 && errno == EAGAIN ? 0 : kGeneralError;
}

void PosixOperations::describe(SerialPort&, PortDumpFields& fields, char*, size_t) {
  fields.port_type = "POSIX termios";
}

void PosixOperations::set_break(SerialPort& port, bool on) {
  ioctl(posix_device_of(port).fd, on ? TIOCSBRK : TIOCCBRK);
}

int PosixOperations::modem_status(SerialPort& port) {
  int lines = 0;
  if (ioctl(posix_device_of(port).fd, TIOCMGET, &lines) != 0) return 0;  // no modem lines here
  int status = 0;
  if (lines & TIOCM_CTS) status |= 0x10;
  if (lines & TIOCM_DSR) status |= 0x20;
  if (lines & TIOCM_RI) status |= 0x40;
  if (lines & TIOCM_CD) status |= 0x80;
  return status;
}

}  // namespace bt
