// SPDX-License-Identifier: MIT
// Settings waiting for the line: in arrival order, at most kWaitingPerModule
// for any one module, so a flood of requests for one module is refused at
// once instead of growing without end. When a setting may go (between two
// settings the others' due polls are served) is the main loop's rule.
#ifndef BRIMTALLY_GATEWAY_SETTINGS_QUEUE_H
#define BRIMTALLY_GATEWAY_SETTINGS_QUEUE_H

#include <deque>
#include <map>
#include <string>

#include "mailbox.h"
#include "set_request.h"

namespace gateway {

struct ModuleState;

inline constexpr size_t kWaitingPerModule = 16;

struct PendingSet {
  SetRequest request;
  ModuleState* module;
  bool expires = false;  // MQTT 5 message expiry of the request
  Clock::time_point expires_at{};
};

class SettingsQueue {
 public:
  // False, and nothing queued, when the module has its fill waiting.
  bool push(PendingSet&& pending) {
    size_t& count = waiting_[pending.module];
    if (count >= kWaitingPerModule) return false;
    ++count;
    queue_.push_back(std::move(pending));
    return true;
  }
  bool empty() const { return queue_.empty(); }
  PendingSet pop() {
    PendingSet next = std::move(queue_.front());
    queue_.pop_front();
    --waiting_[next.module];
    return next;
  }

 private:
  std::deque<PendingSet> queue_;
  std::map<const ModuleState*, size_t> waiting_;
};

}  // namespace gateway

#endif  // BRIMTALLY_GATEWAY_SETTINGS_QUEUE_H
