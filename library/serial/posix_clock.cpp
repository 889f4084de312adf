// Milliseconds and the default wait of the POSIX kind.
#include <poll.h>
#include <sys/ioctl.h>
#include <time.h>

#include "serial/platform.h"
#include "serial/posix_device.h"

namespace bt {

namespace {

void sleep_one_ms() {
  const timespec one_ms{0, 1'000'000};
  // An interrupted sleep just ends early; callers measure their own deadline.
  clock_nanosleep(CLOCK_MONOTONIC, 0, &one_ms, nullptr);
}

}  // namespace

uint32_t port_ticks() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint32_t>(static_cast<uint64_t>(now.tv_sec) * 1000u +
                               static_cast<uint64_t>(now.tv_nsec) / 1'000'000u);
}

namespace platform {

// Waits up to 1 ms for input, so a waiting caller uses almost no CPU and sees
// a byte within a millisecond. When input already waits, or the device has
// hung up, poll would return at once; sleeping instead keeps a caller that is
// not reading (port_delay) from spinning.
int default_idle_hook(SerialPort* port) {
  PortDevice* device =
      port != nullptr && port->driver_kind == kDriverKindPosix ? port->device : nullptr;
  if (device == nullptr || device->pushback_count > 0) {
    sleep_one_ms();
    return 0;
  }
  int waiting = 0;
  if (ioctl(device->fd, FIONREAD, &waiting) == 0 && waiting > 0) {
    sleep_one_ms();
    return 0;
  }
  pollfd watch{device->fd, POLLIN, 0};
  const int ready = poll(&watch, 1, 1);
  if (ready > 0 && (watch.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) sleep_one_ms();
  return 0;
}

}  // namespace platform

}  // namespace bt
