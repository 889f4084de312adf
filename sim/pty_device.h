// SPDX-License-Identifier: MIT
// The simulated line's device: a pseudo-terminal and the link that names it.
#ifndef BRIMTALLY_SIM_PTY_DEVICE_H
#define BRIMTALLY_SIM_PTY_DEVICE_H

#include <string>

namespace sim {

// The simulated line: a pseudo-terminal whose far (slave) side is the
// module's serial port as clients see it. The simulator keeps the slave side
// open itself, so a client that closes and reopens the port does not hang up
// the line, and sets it raw so that nothing is echoed or translated.
class PtyDevice {
 public:
  PtyDevice() = default;
  ~PtyDevice();
  PtyDevice(const PtyDevice&) = delete;
  PtyDevice& operator=(const PtyDevice&) = delete;

  // Opens a new pseudo-terminal and, when `link_path` is not empty, points the
  // symbolic link there (replacing a link left behind, never another file,
  // nor the link of another simulator still running).
  bool open(const std::string& link_path, std::string& error);
  // Closes both sides and removes the link: clients see hang-up.
  void close();

  bool is_open() const { return master_ >= 0; }
  int fd() const { return master_; }

  // A pseudo-terminal keeps a client's exclusive-use flag (TIOCEXCL) after the
  // client closes it, unlike a serial port, so a non-root client could never
  // open it again. The device therefore watches for closes of its far side;
  // when `close_watch_fd` is readable, `on_far_side_closed` drops the flag.
  int close_watch_fd() const { return watch_; }
  void on_far_side_closed();
  const std::string& path() const { return path_; }

 private:
  int master_ = -1;
  int slave_ = -1;
  int watch_ = -1;
  int claim_ = -1;  // the link's claim, kept while the device is away
  std::string path_;
  std::string link_;
};

// Points `link_path` at `target` atomically; refuses to replace anything but a
// symbolic link.
bool place_link(const std::string& link_path, const std::string& target, std::string& error);
// Claims `link_path` among the simulators running on this host, for as long as
// the returned descriptor stays open (the kernel ends the claim with the
// process); -1, with `error` set, when another one holds it.
int claim_link(const std::string& link_path, std::string& error);
// Removes `link_path` if it is a symbolic link to `target`.
void remove_link(const std::string& link_path, const std::string& target);

}  // namespace sim

#endif  // BRIMTALLY_SIM_PTY_DEVICE_H
