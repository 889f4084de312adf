#pragma once
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

  // Opens a new pseudo-terminal and, when `linkPath` is not empty, points the
  // symbolic link there (replacing a link left behind, never another file,
  // nor the link of another simulator still running).
  bool open(const std::string& linkPath, std::string& error);
  // Closes both sides and removes the link: clients see hang-up.
  void close();

  bool isOpen() const { return master_ >= 0; }
  int fd() const { return master_; }

  // A pseudo-terminal keeps a client's exclusive-use flag (TIOCEXCL) after the
  // client closes it, unlike a serial port, so a non-root client could never
  // open it again. The device therefore watches for closes of its far side;
  // when `closeWatchFd` is readable, `onFarSideClosed` drops the flag.
  int closeWatchFd() const { return watch_; }
  void onFarSideClosed();
  const std::string& path() const { return path_; }

 private:
  int master_ = -1;
  int slave_ = -1;
  int watch_ = -1;
  int claim_ = -1;  // the link's claim, kept while the device is away
  std::string path_;
  std::string link_;
};

// Points `linkPath` at `target` atomically; refuses to replace anything but a
// symbolic link.
bool placeLink(const std::string& linkPath, const std::string& target, std::string& error);
// Claims `linkPath` among the simulators running on this host, for as long as
// the returned descriptor stays open (the kernel ends the claim with the
// process); -1, with `error` set, when another one holds it.
int claimLink(const std::string& linkPath, std::string& error);
// Removes `linkPath` if it is a symbolic link to `target`.
void removeLink(const std::string& linkPath, const std::string& target);

}  // namespace sim
