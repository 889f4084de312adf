// SPDX-License-Identifier: MIT
// The default wait of a network port: the POSIX kind's rules on a socket.
#include <sys/ioctl.h>

#include "serial/net/net_device.h"
#include "serial/wait_rules.h"

namespace bt {

// Returns as soon as bytes arrive (a caller's read then finds them); sleeps
// 1 ms (or what is left) instead when input already waits unread or the connection is gone, so
// a caller that is not reading does not spin. Telnet commands arriving wake
// the wait too, and are handled by the next read.
int NetOperations::idle_wait(SerialPort& port, uint64_t us, bool none_waiting) {
  NetDevice& device = net_device_of(port);
  int waiting = 0;
  if (device.gone || !device.received.empty() ||
      (!none_waiting && ioctl(device.fd, FIONREAD, &waiting) == 0 && waiting > 0)) {
    sleep_briefly(us);
    return 0;
  }
  const TimedPoll wait(us);
  exchange(device, wait.part());
  return 0;
}

}  // namespace bt
