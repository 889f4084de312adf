// SPDX-License-Identifier: MIT
// The loop: it sleeps until a letter arrives or something is due, then takes
// one step on the line (a reopening, a setting or a poll) at a time.
#include "gateway.h"

#include <unistd.h>

#include <algorithm>

#include "discovery.h"
#include "topic_grammar.h"

namespace gateway {

namespace {

// Paho's connect time-out, the look at what failed, and some slack: an
// attempt that has said nothing by then is stuck.
constexpr auto kAttemptBound = std::chrono::seconds(20);

LinkOptions link_options(const Config& config, const std::string& line_topic,
                         const std::string& password) {
  LinkOptions options;
  options.client_id = client_id(config);
  options.will_topic = line_topic + "/state";
  options.subscriptions = request_filters(line_topic);
  if (config.mqtt.homeassistant) options.subscriptions.push_back(kHomeAssistantStatus);
  options.password = password;
  return options;
}

}  // namespace

std::string client_id(const Config& config) {
  char host[256] = "";
  gethostname(host, sizeof host - 1);
  std::string id = "brimtally-gateway-" + config.line.name + "-" + host;
  // Lines of the same name under other base topics are other lines.
  if (config.mqtt.base_topic != MqttConfig().base_topic) id += "-" + config.mqtt.base_topic;
  return id;
}

Gateway::Gateway(const Config& config, const std::string& password, Mailbox& mailbox)
    : config_(config),
      line_topic_(config.mqtt.base_topic + "/" + config.line.name),
      client_id_(client_id(config)),
      mailbox_(mailbox),
      link_(config.mqtt, link_options(config, line_topic_, password), mailbox),
      port_(config.line),
      broker_(kAttemptBound) {
  for (const ModuleConfig& module : config.modules) modules_.emplace_back(module, line_topic_);
}

int Gateway::run() {
  const auto start = Clock::now();
  diagnostics_.start(start);
  connect_broker();
  open_port();
  notify_.ready("connecting to the broker " + config_.mqtt.broker);
  while (!stopping_) {
    const Clock::time_point now = Clock::now();
    // The watchdog vouches that the loop turns and the broker is being
    // served: connected, or reconnecting on schedule.
    if (broker_.on_schedule(now)) notify_.heartbeat();
    // With work waiting, only take what has arrived; otherwise sleep until
    // the next thing is due.
    for (const Letter& letter : mailbox_.collect(next_wake(now))) handle(letter);
    if (stopping_) break;
    const Clock::time_point after = Clock::now();
    if (broker_.attempt_due(after)) connect_broker();
    if (!port_.is_open()) {
      if (after >= port_retry_at_) open_port();
    } else if (settings_turn(after)) {
      PendingSet pending = settings_.pop();
      apply(pending);
      last_setting_end_ = Clock::now();
    } else {
      auto due = std::min_element(
          modules_.begin(), modules_.end(),
          [](const ModuleState& a, const ModuleState& b) { return a.next_due < b.next_due; });
      if (due != modules_.end() && due->next_due <= after) poll(*due);
    }
    if (Clock::now() >= diagnostics_.due()) publish_diagnostics();
  }
  notify_.stopping();
  log_.info("stopping: " + line_topic_ + "/state goes offline");
  for (ModuleState& module : modules_) {
    module.online = false;
    publish_availability(module);
  }
  link_.close_with(line_topic_ + "/state", "offline");
  port_.close();
  return 0;
}

bool Gateway::settings_turn(Clock::time_point now) const {
  // Between two settings every module that is due gets its poll: however
  // many settings arrive, a poll waits for at most the one under way.
  return !settings_.empty() && std::none_of(modules_.begin(), modules_.end(), [&](const auto& m) {
    return m.next_due <= now && m.last_start < last_setting_end_;
  });
}

Clock::time_point Gateway::next_wake(Clock::time_point now) const {
  Clock::time_point wake = std::min(now + notify_.longest_sleep(), diagnostics_.due());
  if (broker_.state() == BrokerSession::State::kWaiting) wake = std::min(wake, broker_.retry_at());
  if (!port_.is_open()) return std::min(wake, port_retry_at_);
  if (!settings_.empty()) return now;
  for (const ModuleState& module : modules_) wake = std::min(wake, module.next_due);
  return wake;
}

void Gateway::handle(const Letter& letter) {
  switch (letter.kind) {
    case Letter::Kind::kStop:
      stopping_ = true;
      return;
    case Letter::Kind::kConnected:
      on_connected(letter.code == 1);
      return;
    case Letter::Kind::kConnectFailed:
      on_broker_ended(letter);
      return;
    case Letter::Kind::kConnectionLost:
      // Paho may report one end twice (a DISCONNECT, then the socket).
      if (broker_.connected()) on_broker_ended(letter);
      return;
    case Letter::Kind::kMessage:
      try {
        handle_message(letter);
      } catch (const std::exception& e) {
        // Whatever a message holds, it must not end the gateway.
        log_.refused(letter.topic + ": ignored: " + e.what());
      }
      return;
  }
}

}  // namespace gateway
