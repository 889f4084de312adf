// SPDX-License-Identifier: MIT
#include "diagnostics.h"

#include <algorithm>

namespace gateway {

namespace {

double seconds(Clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

}  // namespace

void Diagnostics::start(Clock::time_point now) {
  window_start_ = now;
  due_ = now + kDiagnosticsEvery;
}

void Diagnostics::broker_connected() {
  if (broker_seen_) ++broker_reconnects_;
  broker_seen_ = true;
}

void Diagnostics::port_opened() {
  if (port_seen_) ++port_reconnects_;
  port_seen_ = true;
}

void Diagnostics::poll_started(Clock::time_point previous, Clock::time_point start) {
  if (previous == Clock::time_point{}) return;
  cycle_sum_ += start - previous;
  ++cycles_;
}

toolkit::Json Diagnostics::message(Clock::time_point now, const std::deque<ModuleState>& modules,
                                   const std::string& port, bool port_open,
                                   uint64_t responses_dropped) {
  toolkit::Json per_module = toolkit::Json::object();
  for (const ModuleState& module : modules) {
    per_module[module.config.name] = {
        {"polls", module.polls},
        {"failed", module.failed},
        {"online", module.online},
        {"last_poll",
         module.last_poll.empty() ? toolkit::Json() : toolkit::Json(module.last_poll)}};
  }
  const double window = seconds(now - window_start_);
  // The mean time between two polls of one module over the window.
  toolkit::Json cycle;
  if (cycles_ > 0) cycle = seconds(cycle_sum_) * 1000 / static_cast<double>(cycles_);
  toolkit::Json body = {{"time", utc_time(std::chrono::system_clock::now())},
                        {"port", port},
                        {"port_open", port_open},
                        {"cycle_ms", cycle},
                        {"busy", window > 0 ? std::min(1.0, seconds(busy_) / window) : 0.0},
                        {"broker_reconnects", broker_reconnects_},
                        {"port_reconnects", port_reconnects_},
                        {"responses_dropped", responses_dropped},
                        {"modules", per_module}};
  window_start_ = now;
  busy_ = {};
  cycle_sum_ = {};
  cycles_ = 0;
  due_ = now + kDiagnosticsEvery;
  return body;
}

}  // namespace gateway
