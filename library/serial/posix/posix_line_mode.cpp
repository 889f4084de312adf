// SPDX-License-Identifier: MIT
// The kernel's RS-485 mode, and the transmitter's state for RTS toggling.
#include <linux/serial.h>
#include <sys/ioctl.h>

#include "serial/posix/posix_device.h"

namespace bt {

int PosixOperations::start_line_mode(SerialPort& port) {
  PosixDevice& device = posix_device_of(port);
  const PortOptions& options = device.options;
  if (options.rts_toggle) return apply_control_lines(port) < 0 ? kLineModeRefused : 0;
  if (options.rs485 == Rs485Mode::kOff) return 0;
  serial_rs485 before{};
  if (ioctl(device.fd, TIOCGRS485, &before) != 0) return kLineModeRefused;
  serial_rs485 wanted{};
  wanted.flags =
      SER_RS485_ENABLED |
      (options.rs485 == Rs485Mode::kRtsLowSend ? SER_RS485_RTS_AFTER_SEND : SER_RS485_RTS_ON_SEND);
  wanted.delay_rts_before_send = static_cast<__u32>(options.rts_before_ms);
  wanted.delay_rts_after_send = static_cast<__u32>(options.rts_after_ms);
  if (ioctl(device.fd, TIOCSRS485, &wanted) != 0) return kLineModeRefused;
  device.rs485_before = before;
  device.rs485_changed = true;
  // A driver may take the request yet leave the mode off: read it back.
  serial_rs485 now{};
  if (ioctl(device.fd, TIOCGRS485, &now) != 0 || (now.flags & SER_RS485_ENABLED) == 0) {
    return kLineModeRefused;
  }
  return 0;
}

bool PosixOperations::transmitter_empty(SerialPort& port) {
  if (output_waiting(port) > 0) return false;
  // The queue empties before the last byte leaves the UART's shift register.
  unsigned int status = 0;
  if (ioctl(posix_device_of(port).fd, TIOCSERGETLSR, &status) != 0) return true;
  return (status & TIOCSER_TEMT) != 0;
}

void restore_line_mode(PosixDevice& device) {
  if (device.rs485_changed) ioctl(device.fd, TIOCSRS485, &device.rs485_before);
  device.rs485_changed = false;
}

}  // namespace bt
