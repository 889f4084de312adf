// SPDX-License-Identifier: MIT
#include "line_lock.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "port_options.h"

namespace gateway {

namespace fs = std::filesystem;

namespace {

// "@brimtally-gateway/KEY" as /proc/net/unix shows it; a key too long for
// the socket address is replaced by its hash.
std::string socket_name(const std::string& key) {
  std::string name = "brimtally-gateway/" + key;
  if (name.size() > sizeof(sockaddr_un::sun_path) - 1) {
    name = "brimtally-gateway/#" + std::to_string(std::hash<std::string>{}(key));
  }
  return name;
}

// The inode of the socket bound to `name`, from /proc/net/unix.
std::string socket_inode(const std::string& name) {
  std::ifstream table("/proc/net/unix");
  std::string line;
  while (std::getline(table, line)) {
    std::istringstream words(line);
    std::string field, inode, path;
    for (int i = 0; i < 6; ++i) words >> field;
    words >> inode >> path;
    if (path == "@" + name) return inode;
  }
  return "";
}

std::string command_line(const fs::path& process) {
  std::ifstream in(process / "cmdline");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::replace(text.begin(), text.end(), '\0', ' ');
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

// "process 123 (brimtally-gateway --config line1.toml)", or what can be
// said when another user's process is hidden from us.
std::string holder(const std::string& name) {
  const std::string inode = socket_inode(name);
  const std::string target = "socket:[" + inode + "]";
  std::error_code ec;
  for (const auto& process : fs::directory_iterator("/proc", ec)) {
    const std::string pid = process.path().filename();
    if (inode.empty() || pid.find_first_not_of("0123456789") != std::string::npos) continue;
    std::error_code fd_ec;
    for (const auto& fd : fs::directory_iterator(process.path() / "fd", fd_ec)) {
      std::error_code link_ec;
      if (fs::read_symlink(fd.path(), link_ec) == target && !link_ec) {
        return "process " + pid + " (" + command_line(process.path()) + ")";
      }
    }
  }
  return "another process (one this user may not look into; root can see which)";
}

}  // namespace

LineLock::~LineLock() {
  for (int fd : held_) close(fd);
}

std::string LineLock::take(const std::string& key, const std::string& what) {
  const std::string name = socket_name(key);
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return "cannot make a socket to lock " + what;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  // Abstract: the path starts with a NUL and is as long as the name.
  name.copy(address.sun_path + 1, sizeof address.sun_path - 2);
  const auto size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), size) != 0) {
    close(fd);
    return what + " is already served by " + holder(name) +
           "; stop that gateway first, or give this one another line";
  }
  held_.push_back(fd);
  return "";
}

std::string port_identity(const std::string& name) {
  // One line, whatever options a name gives it.
  const std::string device = toolkit::device_part(name);
  const size_t scheme = device.find("://");
  if (scheme != std::string::npos) {
    std::string rest = device.substr(scheme + 3);
    std::transform(rest.begin(), rest.end(), rest.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return rest.substr(0, rest.find_first_of("/?"));
  }
  std::error_code ec;
  const fs::path real = fs::canonical(device, ec);
  return ec ? device : real.string();
}

}  // namespace gateway
