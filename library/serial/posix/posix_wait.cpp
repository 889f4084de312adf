// SPDX-License-Identifier: MIT
// The default wait of the POSIX kind.
#include <poll.h>
#include <sys/ioctl.h>

#include "serial/posix/posix_device.h"
#include "serial/wait_rules.h"

namespace bt {

// Waits up to us microseconds for input: poll returns as soon as a byte arrives, so the
// wait costs one wake-up yet a caller sees its byte at once. When input
// already waits, or the device has hung up, poll would return at once;
// sleeping 1 ms (or what is left) instead keeps a caller that is not
// reading (port_delay) from spinning, without leaving the input unread for longer than that.
int PosixOperations::idle_wait(SerialPort& port, uint64_t us, bool none_waiting) {
  PosixDevice& device = posix_device_of(port);
  if (device.pushback_count > 0) {
    sleep_briefly(us);
    return 0;
  }
  // A byte that arrived since the caller's empty read makes poll return at
  // once, which is what a reader wants.
  int waiting = 0;
  if (!none_waiting && ioctl(device.fd, FIONREAD, &waiting) == 0 && waiting > 0) {
    sleep_briefly(us);
    return 0;
  }
  pollfd watch{device.fd, POLLIN, 0};
  const TimedPoll wait(us);
  const timespec timeout = poll_timeout(wait.part());
  const int ready = ppoll(&watch, 1, &timeout, nullptr);
  if (ready > 0 && (watch.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) sleep_briefly(us);
  return 0;
}

}  // namespace bt
