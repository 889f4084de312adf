// SPDX-License-Identifier: MIT
#include "device_check.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "port_options.h"
#include "server_check.h"

namespace toolkit {

namespace fs = std::filesystem;

namespace {

// How `ports` and error lines name a holder.
constexpr size_t kLongestName = 60;

// The program's base name and its arguments, from /proc/PID/cmdline; the
// kernel's comm (cut to 15 characters) for a process without one.
std::string process_name(const fs::path& process) {
  std::ifstream cmdline(process / "cmdline");
  std::string name;
  for (std::string word; std::getline(cmdline, word, '\0');) {
    if (name.empty()) word = fs::path(word).filename();
    if (!name.empty()) name += ' ';
    name += word;
    if (name.size() > kLongestName) break;
  }
  for (char& c : name) {
    if (c < ' ' || c > '~') c = '?';
  }
  if (name.size() > kLongestName) name = name.substr(0, kLongestName - 3) + "...";
  if (!name.empty()) return name;
  std::ifstream comm(process / "comm");
  std::getline(comm, name);
  return name;
}

// Processes holding a lock on the device, from /proc/locks: lines such as
// "1: FLOCK  ADVISORY  WRITE 24669 00:1a:5 0 EOF" (device numbers in hex).
std::vector<pid_t> lock_holders(const std::string& device) {
  std::vector<pid_t> pids;
  struct stat info {};
  if (stat(device.c_str(), &info) != 0) return pids;
  char id[64];
  std::snprintf(id, sizeof id, "%02x:%02x:%lu", major(info.st_dev), minor(info.st_dev),
                static_cast<unsigned long>(info.st_ino));
  std::ifstream locks("/proc/locks");
  std::string line;
  while (std::getline(locks, line)) {
    std::istringstream words(line);
    std::string number, kind, mode, access, pid, file;
    words >> number >> kind;
    if (kind == "->") continue;  // a waiter, not a holder
    words >> mode >> access >> pid >> file;
    if (file == id) pids.push_back(static_cast<pid_t>(std::stol(pid)));
  }
  return pids;
}

// Those that lock the device, when any do: the others merely have it open.
std::string holder_text(std::vector<Holder> holders) {
  if (!holders.empty() && holders.front().locks) {
    std::erase_if(holders, [](const Holder& h) { return !h.locks; });
  }
  std::string text;
  for (const Holder& h : holders) {
    if (!text.empty()) text += ", ";
    text += std::to_string(h.pid);
    if (!h.command.empty()) text += " (" + h.command + ")";
  }
  return (holders.size() == 1 ? "process " : "processes ") + text;
}

}  // namespace

std::vector<Holder> device_holders(const std::string& device) {
  std::vector<Holder> holders;
  std::error_code ec;
  const fs::path target = fs::canonical(device, ec);
  if (ec) return holders;
  const pid_t self = getpid();
  for (pid_t pid : lock_holders(device)) {
    if (pid != self) holders.push_back({pid, process_name("/proc/" + std::to_string(pid)), true});
  }
  for (const auto& process : fs::directory_iterator("/proc", ec)) {
    const std::string name = process.path().filename();
    if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) continue;
    const pid_t pid = static_cast<pid_t>(std::stol(name));
    const bool listed = std::any_of(holders.begin(), holders.end(),
                                    [pid](const Holder& h) { return h.pid == pid; });
    if (pid == self || listed) continue;
    std::error_code fd_ec;
    for (const auto& fd : fs::directory_iterator(process.path() / "fd", fd_ec)) {
      std::error_code link_ec;
      if (fs::read_symlink(fd.path(), link_ec) == target && !link_ec) {
        holders.push_back({pid, process_name(process.path()), false});
        break;
      }
    }
  }
  return holders;
}

std::string device_group(const std::string& device) {
  struct stat info {};
  if (stat(device.c_str(), &info) != 0) return "";
  const group* g = getgrgid(info.st_gid);
  return g != nullptr ? g->gr_name : std::to_string(info.st_gid);
}

bool may_open(const std::string& device) {
  return access(device.c_str(), R_OK | W_OK) == 0;
}

std::string group_fix_command(const std::string& group) {
  const passwd* user = getpwuid(getuid());
  const std::string name = user != nullptr ? user->pw_name : "$USER";
  return "sudo usermod -aG " + group + " " + name;
}

DeviceProblem diagnose_device(const std::string& name) {
  const std::string device = device_part(name);
  // A serial device server is reached over TCP: nothing local to look at.
  if (looks_like_network_name(device)) {
    NetworkName name;
    std::string why;
    if (!parse_network_name(device, name, why)) {
      return {"no serial device server's name: " + why,
              "give rfc2217://HOST:PORT or tcp://HOST:PORT"};
    }
    return diagnose_server(name);
  }
  struct stat info {};
  if (stat(device.c_str(), &info) != 0) {
    return {"no such device",
            "check the cable or adapter, or list the ports with 'brimtally ports'"};
  }
  if (!may_open(device)) {
    const std::string group = device_group(device);
    return {"no permission (the device belongs to group " + group + ")",
            "run '" + group_fix_command(group) + "' and log in again"};
  }
  const int fd = open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0 && errno != EBUSY) {
    return {std::string("cannot be opened: ") + std::strerror(errno),
            "check the device with 'brimtally ports'"};
  }
  if (fd >= 0 && !isatty(fd)) {
    close(fd);
    return {"not a serial device (not a terminal)",
            "give a serial port such as /dev/ttyUSB0; 'brimtally ports' lists them"};
  }
  const std::vector<Holder> holders = device_holders(device);
  DeviceProblem problem;
  if (!holders.empty()) {
    problem = {"in use by " + holder_text(holders),
               "close that program or choose another port with --port"};
  } else if (fd < 0 || flock(fd, LOCK_EX | LOCK_NB) != 0) {
    problem = {"in use by another process",
               "close that program or choose another port with --port"};
  }
  if (fd < 0) return problem;
  close(fd);  // also releases a lock taken above
  return problem;
}

}  // namespace toolkit
