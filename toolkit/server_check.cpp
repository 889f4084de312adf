// SPDX-License-Identifier: MIT
#include "server_check.h"

#include <netdb.h>
#include <poll.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace toolkit {

namespace {

// A server that turns a client away does so at once; one that keeps the
// connection this long has taken it.
constexpr int kVerdictMs = 1000;

int wait_for(int fd, short events, int ms) {
  pollfd p{fd, events, 0};
  const int ready = poll(&p, 1, ms);
  return ready > 0 ? p.revents : ready;
}

// A connected socket, or -1 with the errno of the last address tried.
int connect_to(const addrinfo* list, int& error) {
  error = EHOSTUNREACH;
  for (const addrinfo* a = list; a != nullptr; a = a->ai_next) {
    const int fd = socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) continue;
    int result = connect(fd, a->ai_addr, a->ai_addrlen) == 0 ? 0 : errno;
    if (result == EINPROGRESS) {
      socklen_t size = sizeof result;
      if (wait_for(fd, POLLOUT, kServerConnectMs) <= 0) {
        result = ETIMEDOUT;
      } else if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &result, &size) != 0) {
        result = errno;
      }
    }
    if (result == 0) return fd;
    close(fd);
    error = result;
  }
  return -1;
}

// What the server sends until it closes the connection or kVerdictMs pass;
// `closed` tells which. Telnet commands (IAC and its two bytes) are left out.
std::string first_words(int fd, bool& closed) {
  std::string text;
  closed = false;
  for (int skip = 0; !closed && text.size() < 512;) {
    if (wait_for(fd, POLLIN, kVerdictMs) <= 0) break;
    char buffer[256];
    const ssize_t got = recv(fd, buffer, sizeof buffer, 0);
    closed = got <= 0;
    for (ssize_t i = 0; i < got; ++i) {
      if (static_cast<unsigned char>(buffer[i]) == 0xFF) {
        skip = 3;
      }
      if (skip > 0) {
        --skip;
      } else {
        text += buffer[i];
      }
    }
  }
  return text;
}

}  // namespace

DeviceProblem diagnose_server(const NetworkName& name) {
  const std::string where = name.host + " port " + name.port;
  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* list = nullptr;
  const int looked = getaddrinfo(name.host.c_str(), name.port.c_str(), &hints, &list);
  if (looked != 0) {
    return {"the host " + name.host + " is not known (" + gai_strerror(looked) + ")",
            "check the host name, or give the server's IP address"};
  }
  int error = 0;
  const int fd = connect_to(list, error);
  freeaddrinfo(list);
  if (fd < 0 && error == ECONNREFUSED) {
    return {where + " refused the connection (nothing listens there)",
            "check the port number and that the server (e.g. ser2net) runs"};
  }
  if (fd < 0 && error == ETIMEDOUT) {
    return {where + " did not answer within " + std::to_string(kServerConnectMs / 1000) + " s",
            "check that the server is on and reachable (ping " + name.host +
                ") and that no firewall blocks the port"};
  }
  if (fd < 0) {
    return {where + " cannot be reached: " + std::strerror(error),
            "check the network route to the server and its address"};
  }
  bool closed = false;
  const std::string said = first_words(fd, closed);
  close(fd);
  const std::string advice =
      "close the other client (another brimtally, PEXILConfig or a gateway) or wait for it to end";
  if (closed && strcasestr(said.c_str(), "in use") != nullptr) {
    return {"the serial device server said the port is in use (another client holds it)", advice};
  }
  if (closed) {
    return {
        "the serial device server accepted the connection but closed it at once (another "
        "client may hold the port)",
        advice};
  }
  if (name.rfc2217) {
    return {"the server at " + where + " did not act as an RFC 2217 serial port",
            "check that it is ser2net's telnet(rfc2217) accepter, or use tcp:// for a raw one"};
  }
  return {};
}

}  // namespace toolkit
