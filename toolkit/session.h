// SPDX-License-Identifier: MIT
// One use of the library by a command: the port chosen on the command line,
// opened at the baud rate, and the record for the module addressed; failures
// of the library become one error line and an exit code.
#ifndef BRIMTALLY_TOOLKIT_SESSION_H
#define BRIMTALLY_TOOLKIT_SESSION_H

#include <string>

#include "brimtally.h"
#include "exit_codes.h"

namespace toolkit {

// The options every command shares.
struct CommonOptions {
  std::string port = "1";  // 1, 2, COM1, COM2 or a device path
  unsigned baud = 9600;
  int timeout_ms = 0;  // 0: long enough for the command's longest reply
  bool trace = false;
  std::string address = "01";
};

// The baud rates btPortOpen takes.
inline constexpr unsigned kBaudRates[] = {300, 1200, 2400, 9600, 19200, 57600};
// Added to the wire time of an exchange for the module's turnaround: the
// library's own default reply time.
inline constexpr int kTurnaroundMs = 30;
// Milliseconds that `chars` characters take on the line at the baud (8N1).
int wire_ms(int chars, unsigned baud);

// Which port a --port value means: the library's port number, and the device
// the library will open for it.
struct PortChoice {
  int number = 1;
  bool named = false;  // a device path or a network address, opened by its name
  std::string device;
  std::string label;  // how error lines name it: "COM1 (/dev/ttyS0)" or the path
};
// The device the library opens for port 1 or 2.
std::string port_device(int number);
// Throws Failure(kExitUsage) for a value that names no port.
PortChoice choose_port(const std::string& value);
// Opens the chosen port as the library's current port: btPortOpen's codes.
int16_t open_port(const PortChoice& choice, unsigned baud);

// True when the port reports an error even for a read that waits no time:
// the device has gone (unplugged, hung up), as against a silent module.
bool device_gone(const ModuleRecord& record);

class Session {
 public:
  // Opens the port, or throws Failure(kExitPortFailed) naming the reason.
  explicit Session(const CommonOptions& options);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  ModuleRecord& record() { return record_; }
  const PortChoice& port() const { return port_; }
  // Sets the address and reply time-out for the next transaction.
  void address(const std::string& address, int timeout_ms);
  // Throws the Failure that a query's status means; returns on 0.
  void check(int16_t status, const std::string& what);
  bool device_gone() { return toolkit::device_gone(record_); }
  // The Failure for a port that stopped working.
  Failure gone_failure() const;

 private:
  PortChoice port_;
  ModuleRecord record_{};
};

}  // namespace toolkit

#endif  // BRIMTALLY_TOOLKIT_SESSION_H
