// SPDX-License-Identifier: MIT
// Moving bytes between a network port's queues and its socket.
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "serial/net/net_device.h"
#include "serial/net/net_socket.h"

namespace bt {

namespace {

// Room up to the receive-queue size.
uint32_t receive_room(const NetDevice& device) {
  const uint32_t held = device.received.size();
  return held < device.rx_queue_size ? device.rx_queue_size - held : 0;
}

}  // namespace

bool pull_input(NetDevice& device) {
  if (device.gone) return false;
  uint8_t chunk[512];
  while (receive_room(device) > 0) {
    const uint32_t want = std::min<uint32_t>(receive_room(device), sizeof chunk);
    const ssize_t n = ::recv(device.fd, chunk, want, 0);
    if (n > 0) {
      const auto got = static_cast<uint32_t>(n);
      device.control->take_input(device, chunk, got);
      if (got < want) break;
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
    device.gone = true;  // end of stream, or a reset: the server is gone
    return false;
  }
  // Telnet answers the session made while reading go out at once.
  return device.outgoing.empty() || push_output(device);
}

bool push_output(NetDevice& device) {
  if (device.gone) return false;
  while (!device.outgoing.empty()) {
    // MSG_NOSIGNAL: a closed connection is a status here, not SIGPIPE.
    const ssize_t n =
        ::send(device.fd, device.outgoing.data(), device.outgoing.size(), MSG_NOSIGNAL);
    if (n > 0) {
      device.outgoing.drop(static_cast<uint32_t>(n));
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      break;
    } else {
      device.gone = true;
      return false;
    }
  }
  return true;
}

bool exchange(NetDevice& device, uint64_t us) {
  if (device.gone) return false;
  // A full receive queue leaves the socket's bytes where they are, so the
  // poll waits rather than reporting them again and again.
  short events = receive_room(device) > 0 ? POLLIN : 0;
  if (!device.outgoing.empty()) events |= POLLOUT;
  short revents = 0;
  if (poll_until(device.fd, events, us, revents) > 0) {
    if ((revents & POLLOUT) != 0 && !push_output(device)) return false;
    // Hang-up and errors show in the read: end of stream or a reset.
    if ((revents & (POLLIN | POLLHUP | POLLERR)) != 0) return pull_input(device);
  }
  return true;
}

}  // namespace bt
