// SPDX-License-Identifier: MIT
// The POSIX driver kind: a terminal device driven through termios, non-blocking
// reads and writes, and poll for waiting.
#ifndef BRIMTALLY_SERIAL_POSIX_POSIX_DEVICE_H
#define BRIMTALLY_SERIAL_POSIX_POSIX_DEVICE_H

#include <linux/serial.h>

#include <cstdint>

#include "serial/device_operations.h"
#include "serial/port_device.h"

namespace bt {

// Error counters of the device as last seen, so each query adds only news.
struct LineCounters {
  int frame;
  int overrun;
  int parity;
  int brk;
  int buf_overrun;
};

struct PosixDevice final : PortDevice {
  using PortDevice::PortDevice;
  int fd = -1;
  bool has_counters = false;  // false where the device keeps no error counters (ptys)
  LineCounters counters_seen{};
  // The RS-485 state found at open, given back at close.
  bool rs485_changed = false;
  serial_rs485 rs485_before{};
};

// The block of a port of this kind.
inline PosixDevice& posix_device_of(SerialPort& port) {
  return static_cast<PosixDevice&>(*port.device);
}

// Applies the whole settings record to the device: termios in raw mode, the
// rate (termios2 for rates without a constant), then the DTR and RTS lines.
// Returns 0 or an errno value.
int apply_settings(int fd, const LineSettings& settings);
// Fills the fields termios knows from the device's present state. 0 or errno.
int read_settings(int fd, LineSettings& settings);
// The line rate in bits per second through termios2 (any rate). 0 or errno.
int set_line_rate(int fd, uint32_t baud);
int get_line_rate(int fd, uint32_t& baud);
// Gives the device back the RS-485 state it had before the port's options.
void restore_line_mode(PosixDevice& device);
// errno of a failed device call -> driver status.
int32_t map_device_error(int error);

class PosixOperations final : public DeviceOperations {
  BRIMTALLY_DEVICE_STEPS

 public:
  PosixOperations() : DeviceOperations(kDriverKindPosix) {}

 protected:
  void refresh(SerialPort& port) override { collect_line_errors(port); }
  int start_line_mode(SerialPort& port) override;
  bool transmitter_empty(SerialPort& port) override;
};

}  // namespace bt

#endif  // BRIMTALLY_SERIAL_POSIX_POSIX_DEVICE_H
