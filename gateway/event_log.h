// SPDX-License-Identifier: MIT
// The gateway's log: one line per event on standard error. A fault that
// lasts (a broker down, a silent module) is logged when it begins and when
// it ends, never again while it lasts.
#ifndef BRIMTALLY_GATEWAY_EVENT_LOG_H
#define BRIMTALLY_GATEWAY_EVENT_LOG_H

#include <cstdint>
#include <map>
#include <string>

namespace gateway {

class EventLog {
 public:
  void info(const std::string& message);
  // Logs `message` unless the fault `key` is already on with the same text.
  void fault(const std::string& key, const std::string& message);
  // Ends the fault `key`, logging `message` when it was on; whether it was.
  bool cleared(const std::string& key, const std::string& message);
  // A request refused. Any client may send them at any rate, so only the
  // first since the last summary is logged and the rest are counted.
  void refused(const std::string& message);
  // Logs how many refusals went unlogged since the last call, if any.
  void summarize_refusals();

 private:
  std::map<std::string, std::string> active_;
  bool refusal_logged_ = false;
  uint64_t refusals_unlogged_ = 0;
};

}  // namespace gateway

#endif  // BRIMTALLY_GATEWAY_EVENT_LOG_H
