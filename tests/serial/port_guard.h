// SPDX-License-Identifier: MIT
// Driver tests: the port object opened on the far end's device, and closed at
// the end of the scope.
#ifndef BRIMTALLY_TESTS_SERIAL_PORT_GUARD_H
#define BRIMTALLY_TESTS_SERIAL_PORT_GUARD_H

#include <cstring>
#include <string>
#include <vector>

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

// How often the port stands on the list of live ports: once while open.
inline int times_listed(const SerialPort* port) {
  int n = 0;
  for (const SerialPort* p = port_live_head(); p != nullptr; p = p->next) n += p == port;
  return n;
}

struct ReadResult {
  int result;
  std::string line;
  int32_t count;
};

// One port_read_line into a buffer filled with 'Z', so a missing NUL shows.
inline ReadResult read_line(SerialPort* port, int terminator, int32_t timeout_ms = 2000,
                            uint32_t capacity = 100) {
  char buffer[128];
  std::memset(buffer, 'Z', sizeof buffer);
  const int result = port_read_line(port, buffer, capacity, terminator, timeout_ms);
  return {result, std::string(buffer, strnlen(buffer, sizeof buffer)), port->count};
}

inline std::vector<std::string> dumped;
// The lines of the port's dump; its result in *result if asked.
inline std::vector<std::string> dump_lines(SerialPort& port, int* result = nullptr) {
  dumped.clear();
  const int r = port.ops->dump(port, [](const char* line) { dumped.emplace_back(line); });
  if (result != nullptr) *result = r;
  return dumped;
}

}  // namespace bt::test

#endif  // BRIMTALLY_TESTS_SERIAL_PORT_GUARD_H
