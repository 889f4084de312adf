// What is published of the line: the modules' state and availability, Home
// Assistant's discovery, and the diagnostics.
#include <algorithm>

#include "discovery.h"
#include "gateway.h"

namespace gateway {

namespace {

double seconds(Clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

}  // namespace

void Gateway::publish_state(ModuleState& module, bool force) {
  const Clock::time_point now = Clock::now();
  const bool stale =
      now - module.published_at >= std::chrono::duration<double>(config_.mqtt.refresh);
  if (!force && !stale && module.values == module.published) return;
  link_.publish(module.topic, module.state().dump(), true);
  module.published = module.values;
  module.published_at = now;
}

void Gateway::publish_availability(const ModuleState& module) {
  link_.publish(module.topic + "/availability", module.online ? "online" : "offline", true);
}

void Gateway::publish_discovery() {
  for (const ModuleState& module : modules_) {
    for (const DiscoveryMessage& message : discovery_messages(
             config_.mqtt.base_topic, config_.line.name, module.config.name, module.fields)) {
      link_.publish(message.topic, message.config.dump(), true);
    }
  }
}

void Gateway::publish_diagnostics() {
  const Clock::time_point now = Clock::now();
  log_.summarize_refusals();
  cli::Json modules = cli::Json::object();
  for (const ModuleState& module : modules_) {
    modules[module.config.name] = {
        {"polls", module.polls},
        {"failed", module.failed},
        {"online", module.online},
        {"last_poll", module.last_poll.empty() ? cli::Json() : cli::Json(module.last_poll)}};
  }
  const double window = seconds(now - window_start_);
  // The mean time between two polls of one module over the window.
  cli::Json cycle;
  if (cycles_ > 0) cycle = seconds(cycle_sum_) * 1000 / static_cast<double>(cycles_);
  cli::Json body = {{"time", utc_time(std::chrono::system_clock::now())},
                    {"port", port_.label()},
                    {"port_open", port_.is_open()},
                    {"cycle_ms", cycle},
                    {"busy", window > 0 ? std::min(1.0, seconds(busy_) / window) : 0.0},
                    {"broker_reconnects", broker_reconnects_},
                    {"port_reconnects", port_reconnects_},
                    {"responses_dropped", link_.dropped()},
                    {"modules", modules}};
  link_.publish(line_topic_ + "/diagnostics", body.dump(), true);
  window_start_ = now;
  busy_ = {};
  cycle_sum_ = {};
  cycles_ = 0;
  diagnostics_due_ = now + kDiagnosticsEvery;
}

}  // namespace gateway
