// SPDX-License-Identifier: MIT
// What stands between this user and a serial device: whether it exists, may
// be opened, is held by another process, and is a terminal at all.
#ifndef BRIMTALLY_TOOLKIT_DEVICE_CHECK_H
#define BRIMTALLY_TOOLKIT_DEVICE_CHECK_H

#include <sys/types.h>

#include <string>
#include <vector>

namespace toolkit {

struct Holder {
  pid_t pid;
  std::string command;  // the process name from /proc, "" when unreadable
  bool locks;           // holds the lock a serial client takes (flock), not just open
};

// Processes other than this one with the device locked or open, as far as
// /proc tells (another user's open files are visible to root only); those
// that hold its lock come first.
std::vector<Holder> device_holders(const std::string& device);

// The group that owns the device, e.g. "dialout".
std::string device_group(const std::string& device);

// Whether this user may open the device for reading and writing.
bool may_open(const std::string& device);

// Why a device cannot be used, with what to do about it; empty when no
// reason is found.
struct DeviceProblem {
  std::string what;    // "no such device", "in use by process 123 (picocom)", ...
  std::string advice;  // "close that program or choose another port with --port"
};
DeviceProblem diagnose_device(const std::string& device);

// "sudo usermod -aG dialout alice" for the group and this user.
std::string group_fix_command(const std::string& group);

}  // namespace toolkit

#endif  // BRIMTALLY_TOOLKIT_DEVICE_CHECK_H
