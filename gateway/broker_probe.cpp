// SPDX-License-Identifier: MIT
#include "broker_probe.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

namespace gateway {

namespace {

using Clock = std::chrono::steady_clock;

std::string where(const BrokerAddress& broker) {
  return broker.host + " port " + std::to_string(broker.port);
}

// One connect within the time left; 0 on success, else the errno.
int try_connect(const addrinfo& address, Clock::time_point deadline) {
  const int fd = socket(address.ai_family, address.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                        address.ai_protocol);
  if (fd < 0) return errno;
  int error = 0;
  if (connect(fd, address.ai_addr, address.ai_addrlen) != 0) {
    error = errno;
    if (error == EINPROGRESS) {
      pollfd p{fd, POLLOUT, 0};
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      const int ready = poll(&p, 1, static_cast<int>(std::max<int64_t>(0, left.count())));
      socklen_t size = sizeof error;
      if (ready == 1) {
        getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size);
      } else {
        error = ETIMEDOUT;
      }
    }
  }
  close(fd);
  return error;
}

}  // namespace

std::string tcp_problem(const BrokerAddress& broker, std::chrono::milliseconds bound) {
  const Clock::time_point deadline = Clock::now() + bound;
  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const std::string port = std::to_string(broker.port);
  const int resolved = getaddrinfo(broker.host.c_str(), port.c_str(), &hints, &found);
  if (resolved != 0) {
    return "the host name " + broker.host + " is unknown (" + gai_strerror(resolved) +
           "); check the name in broker, or the DNS";
  }
  std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> owned(found, freeaddrinfo);
  int error = 0;
  for (const addrinfo* a = found; a != nullptr && Clock::now() < deadline; a = a->ai_next) {
    error = try_connect(*a, deadline);
    if (error == 0) return "";
  }
  switch (error) {
    case ECONNREFUSED:
      return "nothing listens on " + where(broker) +
             " (connection refused); check that the broker runs and the port";
    case ENETUNREACH:
    case EHOSTUNREACH:
      return "no route to " + where(broker) + " (" + std::strerror(error) +
             "); check the address and the network";
    case 0:
    case ETIMEDOUT:
      return "no answer from " + where(broker) + " within " + std::to_string(bound.count()) +
             " ms; check the address, and that no firewall drops the connection";
    default:
      return "cannot reach " + where(broker) + " (" + std::strerror(error) + ")";
  }
}

std::string connect_problem(const BrokerAddress& broker, std::chrono::milliseconds bound) {
  const std::string tcp = tcp_problem(broker, bound);
  if (!tcp.empty()) return tcp;
  if (broker.tls) {
    return "the TLS handshake with " + where(broker) +
           " failed: the broker's certificate is not signed by ca_file or names another host, "
           "a client certificate is missing or refused, or the port does not speak TLS";
  }
  return where(broker) +
         " accepted the connection but gave no MQTT answer; is it an MQTT port? (a TLS port "
         "needs mqtts://)";
}

}  // namespace gateway
