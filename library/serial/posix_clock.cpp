// Milliseconds and the default wait of the POSIX kind.
#include <poll.h>
#include <sys/ioctl.h>
#include <time.h>

#include "serial/net_device.h"
#include "serial/platform.h"
#include "serial/posix_device.h"
#include "serial/wait_rules.h"

namespace bt {

uint32_t port_ticks() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint32_t>(static_cast<uint64_t>(now.tv_sec) * 1000u +
                               static_cast<uint64_t>(now.tv_nsec) / 1'000'000u);
}

namespace platform {

// Waits up to ms for input: poll returns as soon as a byte arrives, so the
// wait costs one wake-up yet a caller sees its byte at once. When input
// already waits, or the device has hung up, poll would return at once;
// sleeping 1 ms instead keeps a caller that is not reading (port_delay) from
// spinning, without leaving the input unread for longer than that.
int default_idle_wait(SerialPort* port, uint32_t ms, bool none_waiting) {
  // A network port waits on its socket, by the same rules.
  if (port != nullptr && port->driver_kind == kDriverKindNetwork && port->device != nullptr) {
    return network_idle_wait(*port, ms, none_waiting);
  }
  PortDevice* device =
      port != nullptr && port->driver_kind == kDriverKindPosix ? port->device : nullptr;
  if (device == nullptr || device->pushback_count > 0) {
    sleep_one_ms();
    return 0;
  }
  // A byte that arrived since the caller's empty read makes poll return at
  // once, which is what a reader wants.
  int waiting = 0;
  if (!none_waiting && ioctl(device->fd, FIONREAD, &waiting) == 0 && waiting > 0) {
    sleep_one_ms();
    return 0;
  }
  pollfd watch{device->fd, POLLIN, 0};
  const int ready = poll(&watch, 1, poll_timeout_ms(ms));
  if (ready > 0 && (watch.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) sleep_one_ms();
  return 0;
}

// As a hook in its own right (a host's hook may pass its turns on to it) it
// knows no deadline, so it waits 1 ms at most.
int default_idle_hook(SerialPort* port) {
  return default_idle_wait(port, 1, false);
}

}  // namespace platform

}  // namespace bt
