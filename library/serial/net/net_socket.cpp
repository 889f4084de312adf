// SPDX-License-Identifier: MIT
// Name lookup and a bounded, non-blocking connect.
#include "serial/net/net_socket.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "serial/fd_holder.h"
#include "serial/serial_port.h"
#include "serial/wait_rules.h"

namespace bt {

namespace {

// Owns the lookup's result list.
class Addresses {
 public:
  ~Addresses() {
    if (list_ != nullptr) freeaddrinfo(list_);
  }
  addrinfo** out() { return &list_; }
  const addrinfo* first() const { return list_; }

 private:
  addrinfo* list_ = nullptr;
};

bool unreachable(int error) {
  switch (error) {
    case ECONNREFUSED:
    case ETIMEDOUT:
    case ENETUNREACH:
    case EHOSTUNREACH:
    case EHOSTDOWN:
    case ECONNRESET:
    case EADDRNOTAVAIL:
      return true;
    default:
      return false;
  }
}

// One address: a connected socket, or -errno.
int connect_one(const addrinfo& address, uint32_t ms) {
  FdHolder socket_fd(::socket(address.ai_family, address.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                              address.ai_protocol));
  if (socket_fd.get() < 0) return -errno;
  // A command line is short: Nagle's algorithm would hold it back ~40 ms.
  const int on = 1;
  setsockopt(socket_fd.get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  if (::connect(socket_fd.get(), address.ai_addr, address.ai_addrlen) != 0) {
    if (errno != EINPROGRESS) return -errno;
    short revents = 0;
    if (poll_until(socket_fd.get(), POLLOUT, uint64_t{ms} * 1000, revents) <= 0) return -ETIMEDOUT;
    int error = 0;
    socklen_t size = sizeof error;
    if (getsockopt(socket_fd.get(), SOL_SOCKET, SO_ERROR, &error, &size) != 0) return -errno;
    if (error != 0) return -error;
  }
  return socket_fd.release();
}

}  // namespace

int poll_until(int fd, short events, uint64_t us, short& revents) {
  const uint64_t start = port_micros();
  for (;;) {
    const uint64_t elapsed = port_micros() - start;
    const timespec left = poll_timeout(elapsed < us ? us - elapsed : 0);
    pollfd watch{fd, events, 0};
    const int ready = ::ppoll(&watch, 1, &left, nullptr);
    if (ready < 0 && errno == EINTR) continue;
    revents = watch.revents;
    return ready;
  }
}

int connect_socket(const NetPortName& name, uint32_t timeout_ms) {
  char service[8];
  std::snprintf(service, sizeof service, "%u", static_cast<unsigned>(name.port));
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICSERV;
  Addresses addresses;
  const int looked_up = getaddrinfo(name.host, service, &hints, addresses.out());
  if (looked_up == EAI_MEMORY) return kNoMemory;
  if (looked_up != 0) return kNoDevice;  // no such host (or no answer from the resolver)

  const uint32_t start = port_ticks();
  int result = -ECONNREFUSED;
  for (const addrinfo* address = addresses.first(); address != nullptr;
       address = address->ai_next) {
    const uint32_t elapsed = port_ticks() - start;
    if (elapsed >= timeout_ms) break;
    result = connect_one(*address, timeout_ms - elapsed);
    if (result >= 0) return result;
  }
  return unreachable(-result) ? kNoDevice : kGeneralError;
}

}  // namespace bt
