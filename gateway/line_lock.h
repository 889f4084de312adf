// SPDX-License-Identifier: MIT
// One gateway per line: a name in the abstract UNIX socket namespace for the
// line's topic and one for its port, held as long as the process lives.
// The kernel frees them when it ends, however it ends, they need no
// writable directory (the service's file system is read-only), and a second
// gateway on this host finds them taken before it touches broker or port.
#ifndef BRIMTALLY_GATEWAY_LINE_LOCK_H
#define BRIMTALLY_GATEWAY_LINE_LOCK_H

#include <string>
#include <vector>

namespace gateway {

class LineLock {
 public:
  LineLock() = default;
  ~LineLock();
  LineLock(const LineLock&) = delete;
  LineLock& operator=(const LineLock&) = delete;

  // Takes the name for `what` ("the line brimtally/line1"); "" on success,
  // else why not, naming the process that holds it where /proc tells.
  std::string take(const std::string& key, const std::string& what);

 private:
  std::vector<int> held_;
};

// What identifies a port for the lock: the device a path resolves to, or
// HOST:PORT of a device server, lower-cased.
std::string port_identity(const std::string& device);

}  // namespace gateway

#endif  // BRIMTALLY_GATEWAY_LINE_LOCK_H
