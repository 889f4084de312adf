// SPDX-License-Identifier: MIT
// The control socket: accepting clients, reading their lines, writing answers.
#include "control_server.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

namespace sim {

namespace {
// A command line longer than this is refused rather than buffered forever.
constexpr size_t kMaxCommand = 4096;
constexpr size_t kMaxPendingReplies = 1 << 20;
}  // namespace

ControlServer::~ControlServer() {
  for (auto& c : clients_) ::close(c.fd);
  if (listen_ >= 0) {
    ::close(listen_);
    ::unlink(path_.c_str());
  }
}

bool ControlServer::open(const std::string& path, std::string& error) {
  sockaddr_un addr{};
  if (path.size() >= sizeof addr.sun_path) {
    error = "--control " + path + ": path too long for a UNIX socket";
    return false;
  }
  struct stat st {};
  if (lstat(path.c_str(), &st) == 0) {
    if (!S_ISSOCK(st.st_mode)) {
      error = "--control " + path + ": exists and is not a socket; not replacing it";
      return false;
    }
    // Left behind by an earlier run, unless someone still answers on it.
    const int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    const bool live =
        probe >= 0 && ::connect(probe, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    if (probe >= 0) ::close(probe);
    if (live) {
      error = "--control " + path +
              ": another program (a simulator still running?) listens on it; stop it or choose "
              "another path";
      return false;
    }
    ::unlink(path.c_str());
  }
  listen_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  addr.sun_family = AF_UNIX;
  std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
  if (listen_ < 0 || ::bind(listen_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      ::listen(listen_, 8) != 0) {
    error = "--control " + path + ": " + std::strerror(errno);
    if (listen_ >= 0) ::close(listen_);
    listen_ = -1;
    return false;
  }
  path_ = path;
  return true;
}

void ControlServer::add_poll_fds(std::vector<pollfd>& fds) const {
  if (listen_ < 0) return;
  fds.push_back({listen_, POLLIN, 0});
  for (const auto& c : clients_) {
    fds.push_back({c.fd, static_cast<short>(POLLIN | (c.out.empty() ? 0 : POLLOUT)), 0});
  }
}

void ControlServer::flush(Client& c) {
  while (!c.out.empty()) {
    const ssize_t n = ::send(c.fd, c.out.data(), c.out.size(), MSG_NOSIGNAL);
    if (n < 0) {
      if (errno != EAGAIN && errno != EINTR) c.closing = true;
      if (errno != EINTR) return;
      continue;
    }
    c.out.erase(0, static_cast<size_t>(n));
  }
}

void ControlServer::service(const std::vector<pollfd>& fds, const Handler& handler) {
  if (listen_ < 0) return;
  for (const auto& p : fds) {
    if (p.revents == 0) continue;
    if (p.fd == listen_) {
      const int fd = ::accept4(listen_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
      if (fd >= 0) clients_.push_back({fd, {}, {}});
      continue;
    }
    auto it = std::find_if(clients_.begin(), clients_.end(), [&](auto& c) { return c.fd == p.fd; });
    if (it == clients_.end()) continue;
    Client& c = *it;
    if (p.revents & (POLLIN | POLLHUP | POLLERR)) {
      char buf[1024];
      const ssize_t n = ::read(c.fd, buf, sizeof buf);
      if (n <= 0) {
        if (n == 0 || (errno != EAGAIN && errno != EINTR)) c.closing = true;
      } else {
        c.in.append(buf, static_cast<size_t>(n));
      }
      // Each line gets one answer, an over-long one too, whichever reads its
      // bytes arrive in.
      size_t nl;
      while ((nl = c.in.find('\n')) != std::string::npos) {
        std::string line = c.in.substr(0, nl);
        c.in.erase(0, nl + 1);
        if (std::exchange(c.overlong, false)) continue;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        c.out += (line.size() > kMaxCommand ? std::string("error command line too long")
                                            : handler(line)) +
                 "\n";
      }
      if (c.out.size() > kMaxPendingReplies) c.closing = true;  // asks, never reads
      if (c.in.size() > kMaxCommand) {
        c.in.clear();
        if (!std::exchange(c.overlong, true)) c.out += "error command line too long\n";
      }
    }
    flush(c);
  }
  // A client that hung up still gets the replies it asked for, if it reads.
  for (auto& c : clients_) {
    if (c.closing) {
      flush(c);
      ::close(c.fd);
    }
  }
  std::erase_if(clients_, [](const Client& c) { return c.closing; });
}

}  // namespace sim
