// SPDX-License-Identifier: MIT
// Opening a terminal device into a port object, exclusively and in raw mode.
#include <fcntl.h>
#include <linux/serial.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <new>

#include "serial/fd_holder.h"
#include "serial/posix/posix_device.h"

namespace bt {

namespace {

// USB adapters otherwise hold short replies back for many milliseconds.
void request_low_latency(int fd) {
  serial_struct info{};
  if (ioctl(fd, TIOCGSERIAL, &info) != 0) return;
  info.flags |= ASYNC_LOW_LATENCY;
  ioctl(fd, TIOCSSERIAL, &info);
}

void read_counters(PosixDevice& device) {
  serial_icounter_struct counts{};
  device.has_counters = ioctl(device.fd, TIOCGICOUNT, &counts) == 0;
  if (device.has_counters) {
    device.counters_seen = {counts.frame, counts.overrun, counts.parity, counts.brk,
                            counts.buf_overrun};
  }
}

int fail_with(SerialPort& port, int error) {
  port.status = map_device_error(error);
  return port.status;
}

}  // namespace

int PosixOperations::open(SerialPort& port, const char* name, const PortOptions& options) {
  std::unique_ptr<PosixDevice> device(new (std::nothrow) PosixDevice(*port.environment));
  if (!device) return kNoMemory;
  FdHolder fd(::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  port.status = kPortOk;
  if (fd.get() < 0) return fail_with(port, errno);
  // The lock comes before any setting is touched, so a port in use elsewhere
  // is left exactly as its owner set it.
  if (flock(fd.get(), LOCK_EX | LOCK_NB) != 0) return fail_with(port, errno);
  if (ioctl(fd.get(), TIOCEXCL) == 0) {
    // Left set, the flag would refuse the next open by anyone but root.
    fd.undo_before_close([](int held) { ioctl(held, TIOCNXCL); });
  } else if (errno != EINVAL && errno != ENOTTY) {
    return fail_with(port, errno);
  }

  LineSettings& settings = device->settings;
  if (int error = read_settings(fd.get(), settings); error != 0) return fail_with(port, error);
  prepare_line_settings(settings, device->rx_queue_size);
  // RTS drives an RS-485 transmitter: raised now, it would hold the line.
  if (options.rts_toggle) settings.rts_control = kControlDisable;
  // Raw mode and the raised lines now; the line parameters follow in set_params.
  if (int error = apply_settings(fd.get(), settings); error != 0) return fail_with(port, error);
  request_low_latency(fd.get());

  device->fd = fd.release();
  read_counters(*device);
  port.device = device.release();
  return kPortOk;
}

}  // namespace bt
