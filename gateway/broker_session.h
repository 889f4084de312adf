// SPDX-License-Identifier: MIT
// The broker connection as a state machine: waiting for the next attempt,
// connecting, connected. Every way a connection ends leads back to waiting,
// with a backoff that grows while connections keep failing and starts small
// again once one has lasted. It also tells whether the gateway is on
// schedule with the broker, which is what the systemd watchdog vouches for.
#ifndef BRIMTALLY_GATEWAY_BROKER_SESSION_H
#define BRIMTALLY_GATEWAY_BROKER_SESSION_H

#include <algorithm>
#include <chrono>

#include "mailbox.h"

namespace gateway {

// Waits that double after each failure, from `first` up to `longest`.
class Backoff {
 public:
  Backoff(std::chrono::milliseconds first, std::chrono::milliseconds longest)
      : first_(first), longest_(longest), next_(first) {}
  std::chrono::milliseconds next() {
    const auto wait = next_;
    next_ = std::min(next_ * 2, longest_);
    return wait;
  }
  void reset() { next_ = first_; }

 private:
  std::chrono::milliseconds first_, longest_, next_;
};

class BrokerSession {
 public:
  enum class State { kWaiting, kConnecting, kConnected };

  // `attempt_bound`: the longest a connection attempt may take before it
  // counts as stuck.
  explicit BrokerSession(std::chrono::milliseconds attempt_bound) : attempt_bound_(attempt_bound) {}

  State state() const { return state_; }
  bool connected() const { return state_ == State::kConnected; }
  bool attempt_due(Clock::time_point now) const {
    return state_ == State::kWaiting && now >= retry_at_;
  }
  Clock::time_point retry_at() const { return retry_at_; }

  void attempting(Clock::time_point now);
  void up(Clock::time_point now);
  // The connection ended or an attempt failed: the wait before the next
  // attempt. `slow` where retrying soon cannot help (a refused login).
  std::chrono::milliseconds ended(Clock::time_point now, bool slow);
  // Connected, in an attempt that is not overdue, or waiting for one that
  // is due no longer ago than an attempt may take.
  bool on_schedule(Clock::time_point now) const;

 private:
  std::chrono::milliseconds attempt_bound_;
  State state_ = State::kWaiting;
  Clock::time_point since_{};  // of the current state
  Clock::time_point retry_at_{};
  Backoff fast_{std::chrono::milliseconds(500), std::chrono::seconds(30)};
  Backoff slow_{std::chrono::seconds(30), std::chrono::minutes(5)};
};

// A connection that lasted this long was a good one: the backoff starts
// small again. Shorter ones (a broker that accepts and then drops us, a
// client that takes our session in turn) keep it growing.
inline constexpr auto kStableConnection = std::chrono::seconds(30);

}  // namespace gateway

#endif  // BRIMTALLY_GATEWAY_BROKER_SESSION_H
