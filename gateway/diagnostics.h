// SPDX-License-Identifier: MIT
// The gateway's diagnostics: reconnects counted since start, and over each
// window between two diagnostics messages how busy the line was and how long
// a module waited from one poll to the next.
#ifndef BRIMTALLY_GATEWAY_DIAGNOSTICS_H
#define BRIMTALLY_GATEWAY_DIAGNOSTICS_H

#include <chrono>
#include <cstdint>
#include <deque>
#include <string>

#include "mailbox.h"
#include "module_state.h"
#include "record_fields.h"

namespace gateway {

inline constexpr auto kDiagnosticsEvery = std::chrono::seconds(10);

class Diagnostics {
 public:
  // Starts the first window.
  void start(Clock::time_point now);
  // When the next message is due.
  Clock::time_point due() const { return due_; }

  // Every connect of the broker, and every opening of the port, after the
  // first is a reconnect.
  void broker_connected();
  void port_opened();
  // A transaction on the line took `spent`.
  void busy(Clock::duration spent) { busy_ += spent; }
  // A module's poll starts at `start`; its previous one started at
  // `previous`, or never.
  void poll_started(Clock::time_point previous, Clock::time_point start);

  // The diagnostics message of the window that ends `now`, which starts the
  // next one.
  toolkit::Json message(Clock::time_point now, const std::deque<ModuleState>& modules,
                        const std::string& port, bool port_open, uint64_t responses_dropped);

 private:
  uint64_t broker_reconnects_ = 0;
  uint64_t port_reconnects_ = 0;
  bool broker_seen_ = false;
  bool port_seen_ = false;
  Clock::time_point window_start_{};
  Clock::duration busy_{};
  Clock::duration cycle_sum_{};
  uint64_t cycles_ = 0;
  Clock::time_point due_{};
};

}  // namespace gateway

#endif  // BRIMTALLY_GATEWAY_DIAGNOSTICS_H
