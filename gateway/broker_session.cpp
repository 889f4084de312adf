// SPDX-License-Identifier: MIT
#include "broker_session.h"

namespace gateway {

void BrokerSession::attempting(Clock::time_point now) {
  state_ = State::kConnecting;
  since_ = now;
}

void BrokerSession::up(Clock::time_point now) {
  state_ = State::kConnected;
  since_ = now;
}

std::chrono::milliseconds BrokerSession::ended(Clock::time_point now, bool slow) {
  if (state_ == State::kConnected && now - since_ >= kStableConnection) {
    fast_.reset();
    slow_.reset();
  }
  const std::chrono::milliseconds wait = slow ? slow_.next() : fast_.next();
  state_ = State::kWaiting;
  since_ = now;
  retry_at_ = now + wait;
  return wait;
}

bool BrokerSession::on_schedule(Clock::time_point now) const {
  switch (state_) {
    case State::kConnected:
      return true;
    case State::kConnecting:
      return now - since_ <= attempt_bound_;
    case State::kWaiting:
      return now <= retry_at_ + attempt_bound_;
  }
  return false;
}

}  // namespace gateway
