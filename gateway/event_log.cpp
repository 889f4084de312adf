// SPDX-License-Identifier: MIT
#include "event_log.h"

#include <cstdio>
#include <string>

namespace gateway {

void EventLog::info(const std::string& message) {
  // One write per line, so lines from a crash handler or a pipe stay whole.
  const std::string line = "brimtally-gateway: " + message + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

void EventLog::fault(const std::string& key, const std::string& message) {
  auto [it, fresh] = active_.try_emplace(key, message);
  if (!fresh && it->second == message) return;
  it->second = message;
  info(message);
}

bool EventLog::cleared(const std::string& key, const std::string& message) {
  if (active_.erase(key) == 0) return false;
  info(message);
  return true;
}

void EventLog::refused(const std::string& message) {
  if (refusal_logged_) {
    ++refusals_unlogged_;
    return;
  }
  refusal_logged_ = true;
  info(message);
}

void EventLog::summarize_refusals() {
  if (refusals_unlogged_ > 0) {
    info(std::to_string(refusals_unlogged_) +
         " more request(s) refused since; each was answered on its response topic");
  }
  refusals_unlogged_ = 0;
  refusal_logged_ = false;
}

}  // namespace gateway
