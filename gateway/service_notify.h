// SPDX-License-Identifier: MIT
// systemd's notification socket: ready, stopping, and the watchdog's
// heartbeat. Without systemd (no NOTIFY_SOCKET) every call does nothing.
#ifndef BRIMTALLY_GATEWAY_SERVICE_NOTIFY_H
#define BRIMTALLY_GATEWAY_SERVICE_NOTIFY_H

#include <chrono>
#include <string>

namespace gateway {

class ServiceNotify {
 public:
  ServiceNotify();
  void ready(const std::string& status);
  void status(const std::string& status);
  void stopping();
  // Sends the heartbeat when half the watchdog's time has passed since the
  // last one; the main loop calls it on every turn.
  void heartbeat();
  // How long the main loop may sleep without missing a heartbeat.
  std::chrono::milliseconds longest_sleep() const;

 private:
  std::chrono::microseconds interval_{0};  // half the watchdog time; 0: none
  std::chrono::steady_clock::time_point last_{};
};

}  // namespace gateway

#endif  // BRIMTALLY_GATEWAY_SERVICE_NOTIFY_H
