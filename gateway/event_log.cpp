#include "event_log.h"

#include <cstdio>

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

}  // namespace gateway
