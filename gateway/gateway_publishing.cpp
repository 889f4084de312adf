// SPDX-License-Identifier: MIT
// What is published of the line: the modules' state and availability, Home
// Assistant's discovery, and the diagnostics.
#include "discovery.h"
#include "gateway.h"

namespace gateway {

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
             config_.mqtt.base_topic, config_.line.name, module.config, module.fields)) {
      link_.publish(message.topic, message.config.is_null() ? "" : message.config.dump(), true);
    }
  }
}

void Gateway::publish_diagnostics() {
  const Clock::time_point now = Clock::now();
  log_.summarize_refusals();
  const toolkit::Json body =
      diagnostics_.message(now, modules_, port_.label(), port_.is_open(), link_.dropped());
  link_.publish(line_topic_ + "/diagnostics", body.dump(), true);
}

}  // namespace gateway
