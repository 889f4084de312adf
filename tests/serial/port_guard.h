// SPDX-License-Identifier: MIT
// Driver tests: the port object opened on the far end's device, and closed at
// the end of the scope.
#ifndef BRIMTALLY_TESTS_SERIAL_PORT_GUARD_H
#define BRIMTALLY_TESTS_SERIAL_PORT_GUARD_H

#include "far_end.h"
#include "serial/serial_port.h"

namespace bt::test {

using bt_test::FarEnd;

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

#endif  // BRIMTALLY_TESTS_SERIAL_PORT_GUARD_H
