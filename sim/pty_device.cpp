// SPDX-License-Identifier: MIT
// The pseudo-terminal, its link and the claim on the link.
#include "pty_device.h"

#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace sim {

bool place_link(const std::string& link_path, const std::string& target, std::string& error) {
  struct stat st {};
  if (lstat(link_path.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
    error = "--link " + link_path + ": exists and is not a symbolic link; not replacing it";
    return false;
  }
  const std::string tmp = link_path + ".tmp" + std::to_string(getpid());
  ::unlink(tmp.c_str());
  if (::symlink(target.c_str(), tmp.c_str()) != 0 ||
      ::rename(tmp.c_str(), link_path.c_str()) != 0) {
    error = "--link " + link_path + ": " + std::strerror(errno);
    ::unlink(tmp.c_str());
    return false;
  }
  return true;
}

int claim_link(const std::string& link_path, std::string& error) {
  // An abstract UNIX socket named after the link's absolute path: no file
  // is left behind, and a simulator that crashed holds nothing.
  const auto slash = link_path.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : link_path.substr(0, slash + 1);
  std::string name = link_path.substr(slash == std::string::npos ? 0 : slash + 1);
  if (char* real = ::realpath(dir.c_str(), nullptr)) {
    name = std::string(real) + "/" + name;
    std::free(real);
  }
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::string key = "brimtally-sim link " + name;
  if (key.size() >= sizeof addr.sun_path - 1) {
    uint64_t h = 14695981039346656037u;
    for (char c : name) h = (h ^ static_cast<uint8_t>(c)) * 1099511628211u;
    key = "brimtally-sim link #" + std::to_string(h);
  }
  std::memcpy(addr.sun_path + 1, key.data(), key.size());
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const auto len = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + key.size());
  if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&addr), len) == 0) return fd;
  const int err = errno;
  if (fd >= 0) ::close(fd);
  error = "--link " + link_path + ": " +
          (err == EADDRINUSE ? "another simulator is running with this link; stop it or choose "
                               "another path"
                             : std::string(std::strerror(err)));
  return -1;
}

void remove_link(const std::string& link_path, const std::string& target) {
  std::vector<char> buf(4096);
  const ssize_t n = ::readlink(link_path.c_str(), buf.data(), buf.size() - 1);
  if (n < 0) return;
  if (std::string(buf.data(), static_cast<size_t>(n)) == target) ::unlink(link_path.c_str());
}

bool PtyDevice::open(const std::string& link_path, std::string& error) {
  close();
  const int m = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (m < 0 || ::grantpt(m) != 0 || ::unlockpt(m) != 0) {
    error = std::string("cannot open a pseudo-terminal: ") + std::strerror(errno);
    if (m >= 0) ::close(m);
    return false;
  }
  const char* name = ::ptsname(m);
  if (name == nullptr) {
    error = std::string("ptsname: ") + std::strerror(errno);
    ::close(m);
    return false;
  }
  const std::string path = name;
  const int s = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (s < 0) {
    error = "cannot open " + path + ": " + std::strerror(errno);
    ::close(m);
    return false;
  }
  termios tio{};
  if (::tcgetattr(s, &tio) == 0) {
    ::cfmakeraw(&tio);
    ::cfsetspeed(&tio, B9600);
    ::tcsetattr(s, TCSANOW, &tio);
  }
  if (!link_path.empty() && claim_ < 0 && (claim_ = claim_link(link_path, error)) < 0) {
    ::close(s);
    ::close(m);
    return false;
  }
  if (!link_path.empty() && !place_link(link_path, path, error)) {
    ::close(s);
    ::close(m);
    return false;
  }
  watch_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (watch_ >= 0 && ::inotify_add_watch(watch_, path.c_str(), IN_CLOSE) < 0) {
    ::close(watch_);
    watch_ = -1;
  }
  master_ = m;
  slave_ = s;
  path_ = path;
  link_ = link_path;
  return true;
}

void PtyDevice::on_far_side_closed() {
  char buf[4096];
  while (::read(watch_, buf, sizeof buf) > 0) {
  }
  // Our own descriptor is open all the time, so a close seen here is a
  // client's. The flag belongs to the client that set it and ends with it.
  ::ioctl(slave_, TIOCNXCL);
}

PtyDevice::~PtyDevice() {
  close();
  if (claim_ >= 0) ::close(claim_);
}

void PtyDevice::close() {
  if (watch_ >= 0) ::close(watch_);
  watch_ = -1;
  if (!link_.empty()) remove_link(link_, path_);
  if (slave_ >= 0) ::close(slave_);
  if (master_ >= 0) ::close(master_);
  slave_ = master_ = -1;
}

}  // namespace sim
