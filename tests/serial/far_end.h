// The far end of a pseudo-terminal: the test holds the master side and points
// BRIMTALLY_COM1 at the slave, which the driver opens as its device.
#ifndef BRIMTALLY_TESTS_SERIAL_FAR_END_H
#define BRIMTALLY_TESTS_SERIAL_FAR_END_H

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <string>

#include "serial/serial_port.h"

namespace bt::test {

class FarEnd {
 public:
  FarEnd() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
      throw std::runtime_error("no pseudo-terminal");
    }
    slave_path_ = ptsname(master_);
    setenv("BRIMTALLY_COM1", slave_path_.c_str(), 1);
  }
  ~FarEnd() { hang_up(); }
  FarEnd(const FarEnd&) = delete;
  FarEnd& operator=(const FarEnd&) = delete;

  const std::string& slave_path() const { return slave_path_; }

  void send(const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
      if (n <= 0) throw std::runtime_error("far end write failed");
      done += static_cast<size_t>(n);
    }
  }

  // Whatever arrives until `count` bytes are in or `limit` passes.
  std::string receive(size_t count, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
    std::string got;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (got.size() < count) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) break;
      pollfd watch{master_, POLLIN, 0};
      if (poll(&watch, 1, static_cast<int>(left.count())) <= 0) break;
      char chunk[4096];
      const ssize_t n = ::read(master_, chunk, std::min(sizeof chunk, count - got.size()));
      if (n <= 0) break;
      got.append(chunk, static_cast<size_t>(n));
    }
    return got;
  }

  void hang_up() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }

 private:
  int master_ = -1;
  std::string slave_path_;
};

// Closes a port object at the end of a scope unless the test closed it.
class PortGuard {
 public:
  explicit PortGuard(SerialPort* port) : port_(port) {}
  ~PortGuard() {
    if (port_ != nullptr) port_->ops->close(*port_);
  }
  PortGuard(const PortGuard&) = delete;
  PortGuard& operator=(const PortGuard&) = delete;
  SerialPort* operator->() const { return port_; }
  SerialPort& operator*() const { return *port_; }
  SerialPort* get() const { return port_; }
  int close() {
    SerialPort* port = port_;
    port_ = nullptr;
    return port->ops->close(*port);
  }

 private:
  SerialPort* port_;
};

inline SerialPort* open_first_port(int32_t baud = 9600) {
  return port_open(0, baud, 'N', 8, 1);
}

}  // namespace bt::test

#endif  // BRIMTALLY_TESTS_SERIAL_FAR_END_H
