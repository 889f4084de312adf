#include "gateway.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>

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

std::string seconds_text(std::chrono::milliseconds wait) {
  char text[32];
  std::snprintf(text, sizeof text, "%g s", static_cast<double>(wait.count()) / 1000);
  return text;
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
  window_start_ = start;
  diagnostics_due_ = start + kDiagnosticsEvery;
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
    if (Clock::now() >= diagnostics_due_) publish_diagnostics();
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
  Clock::time_point wake = std::min(now + notify_.longest_sleep(), diagnostics_due_);
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

void Gateway::connect_broker() {
  broker_.attempting(Clock::now());
  link_.connect();
}

void Gateway::tell_status() {
  const std::string line = std::to_string(modules_.size()) + " module(s) on " + port_.label() +
                           (port_.is_open() ? "" : " (port not open)");
  if (broker_.connected()) {
    notify_.status("connected to " + config_.mqtt.broker + "; polling " + line);
  } else {
    notify_.status("reconnecting to " + config_.mqtt.broker + " (" + broker_trouble_ +
                   "); polling " + line);
  }
}

void Gateway::on_broker_ended(const Letter& letter) {
  const bool lost = letter.kind == Letter::Kind::kConnectionLost;
  link_.down();
  const std::chrono::milliseconds wait = broker_.ended(Clock::now(), letter.login_refused);
  broker_trouble_ = letter.text;
  std::string message;
  if (letter.login_refused) {
    message = "the broker " + config_.mqtt.broker + " refused the login" +
              (config_.mqtt.username.empty() ? std::string()
                                             : " of user \"" + config_.mqtt.username + "\"") +
              " (" + letter.text +
              "): check username, password_file and the broker's users; retrying every 30 s "
              "to 5 min, since only a fix on either side helps";
  } else if (lost) {
    message = "lost the broker " + config_.mqtt.broker + ": " + letter.text;
    // A broker may drop a client without saying why, as mosquitto does when
    // another client takes its session.
    if (letter.code == 0 || letter.code == 0x8E) {
      message += letter.code == 0
                     ? " (the broker went away, the network failed, or another client "
                       "connected with this gateway's client id " +
                           client_id_ + ")"
                     : "; another client connected with this gateway's client id " + client_id_;
    }
    message += "; reconnecting in " + seconds_text(wait);
  } else if (letter.code == 1 && letter.text.find("3.1.1") != std::string::npos) {
    message = letter.text;
  } else {
    message = "cannot connect to the broker " + config_.mqtt.broker + ": " + letter.text +
              "; retrying with backoff (0.5 s, doubling to 30 s)";
  }
  // Said once: a broker that stays away is not news again until it is back.
  log_.fault("broker", message);
  tell_status();
}

void Gateway::on_connected(bool resumed) {
  broker_.up(Clock::now());
  link_.up();
  if (ever_connected_) ++broker_reconnects_;
  ever_connected_ = true;
  const std::string connected = "connected to the broker " + config_.mqtt.broker + " as " +
                                line_topic_ + (resumed ? " (session resumed)" : "");
  if (!log_.cleared("broker", connected)) log_.info(connected);
  tell_status();
  link_.subscribe();
  // A broker without persistence has lost everything retained: all again.
  link_.publish(line_topic_ + "/state", "online", true);
  for (ModuleState& module : modules_) {
    publish_availability(module);
    if (!module.values.is_null()) publish_state(module, true);
  }
  if (config_.mqtt.homeassistant) publish_discovery();
  publish_diagnostics();
  // Then the responses that fell due while we were away.
  link_.send_kept();
}

}  // namespace gateway
