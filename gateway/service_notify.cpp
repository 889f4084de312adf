// SPDX-License-Identifier: MIT
#include "service_notify.h"

#include <systemd/sd-daemon.h>

namespace gateway {

namespace {

constexpr std::chrono::milliseconds kNoWatchdogSleep{1000};

}  // namespace

ServiceNotify::ServiceNotify() {
  uint64_t usec = 0;
  if (sd_watchdog_enabled(0, &usec) > 0) interval_ = std::chrono::microseconds(usec / 2);
}

void ServiceNotify::ready(const std::string& status) {
  sd_notifyf(0, "READY=1\nSTATUS=%s", status.c_str());
  heartbeat();
}

void ServiceNotify::status(const std::string& status) {
  sd_notifyf(0, "STATUS=%s", status.c_str());
}

void ServiceNotify::stopping() {
  sd_notify(0, "STOPPING=1");
}

void ServiceNotify::heartbeat() {
  if (interval_.count() == 0) return;
  const auto now = std::chrono::steady_clock::now();
  if (now - last_ < interval_) return;
  sd_notify(0, "WATCHDOG=1");
  last_ = now;
}

std::chrono::milliseconds ServiceNotify::longest_sleep() const {
  if (interval_.count() == 0) return kNoWatchdogSleep;
  return std::chrono::duration_cast<std::chrono::milliseconds>(interval_) / 2;
}

}  // namespace gateway
