// SPDX-License-Identifier: MIT
// A real ser2net in front of a device, on a free loopback port, for the
// tests of network ports; and the loopback helpers it needs.
#ifndef BRIMTALLY_TESTS_SUPPORT_SER2NET_PROCESS_H
#define BRIMTALLY_TESTS_SUPPORT_SER2NET_PROCESS_H

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace bt_test {

// A loopback port nobody listens on: bound here, then released.
inline uint16_t free_port(int* keep_listening = nullptr) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
  socklen_t size = sizeof address;
  bind(fd, reinterpret_cast<sockaddr*>(&address), size);
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
  if (keep_listening != nullptr && listen(fd, 4) == 0) {
    *keep_listening = fd;  // connections wait in the backlog, never answered
  } else {
    close(fd);
  }
  return ntohs(address.sin_port);
}

inline bool listening(uint16_t port) {
  char local[32];
  std::snprintf(local, sizeof local, "0100007F:%04X", port);
  std::ifstream table("/proc/net/tcp");
  for (std::string line; std::getline(table, line);) {
    if (line.find(local) != std::string::npos && line.find(" 0A ") != std::string::npos)
      return true;
  }
  return false;
}

// ser2net with one accepter in front of the simulator's device, character
// delay off so replies are not held back.
class Ser2net {
 public:
  Ser2net(const std::string& scheme, const std::string& device, const std::string& pid_file)
      : device_(device), port_(free_port()), pid_file_(pid_file) {
    config_ = "connection: &line#  accepter: " +
              std::string(scheme == "rfc2217" ? "telnet(rfc2217),tcp" : "tcp") + ",127.0.0.1," +
              std::to_string(port_) + "#  connector: serialdev," + device +
              ",9600n81,local#  options:#    chardelay: false";
    start();
  }
  ~Ser2net() { stop(); }
  uint16_t port() const { return port_; }
  std::string url(const std::string& scheme) const {
    return scheme + "://127.0.0.1:" + std::to_string(port_);
  }
  void start() {
    pid_ = fork();
    if (pid_ == 0) {
      freopen("/dev/null", "w", stdout);
      freopen("/dev/null", "w", stderr);
      execlp("ser2net", "ser2net", "-n", "-u", "-P", pid_file_.c_str(), "-Y", config_.c_str(),
             nullptr);
      _exit(127);
    }
    for (int i = 0; i < 1000 && !listening(port_); ++i) usleep(10'000);
    ASSERT_TRUE(listening(port_)) << "ser2net did not start";
  }
  void stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

  // A client that holds the line. ser2net opens the device for its client and closes it
  // after, each in its own time: the last client must be gone, the new one given the device.
  int hold_line() const {
    settle(false);
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    const sockaddr_in address{AF_INET, htons(port_), {htonl(INADDR_LOOPBACK)}, {}};
    connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    settle(true);
    return fd;
  }

 private:
  void settle(bool open) const {
    const auto target = std::filesystem::canonical(device_);
    const auto has_device = [&] {
      std::error_code failed;
      for (const auto& fd :
           std::filesystem::directory_iterator("/proc/" + std::to_string(pid_) + "/fd", failed))
        if (std::filesystem::read_symlink(fd, failed) == target) return true;
      return false;
    };
    for (int i = 0; i < 500 && has_device() != open; ++i) usleep(10'000);
  }

  std::string device_;
  uint16_t port_;
  std::string pid_file_, config_;
  pid_t pid_ = -1;
};

}  // namespace bt_test

#endif  // BRIMTALLY_TESTS_SUPPORT_SER2NET_PROCESS_H
