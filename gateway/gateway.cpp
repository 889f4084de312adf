#include "gateway.h"

#include <unistd.h>

#include <algorithm>

#include "discovery.h"

namespace gateway {

namespace {

constexpr auto kDiagnosticsEvery = std::chrono::seconds(10);
constexpr size_t kLargestPayload = 4096;
constexpr const char* kHomeAssistantStatus = "homeassistant/status";

LinkOptions link_options(const Config& config, const std::string& line_topic,
                         const std::string& password) {
  char host[256] = "";
  gethostname(host, sizeof host - 1);
  LinkOptions options;
  options.client_id = "brimtally-gateway-" + config.line.name + "-" + host;
  options.will_topic = line_topic + "/state";
  options.subscriptions = {line_topic + "/+/set/+", line_topic + "/+/get"};
  if (config.mqtt.homeassistant) options.subscriptions.push_back(kHomeAssistantStatus);
  options.password = password;
  return options;
}

double seconds(Clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

std::string now_text() {
  return utc_time(std::chrono::system_clock::now());
}

}  // namespace

Gateway::Gateway(const Config& config, const std::string& password, Mailbox& mailbox)
    : config_(config),
      line_topic_(config.mqtt.base_topic + "/" + config.line.name),
      mailbox_(mailbox),
      link_(config.mqtt, link_options(config, line_topic_, password), mailbox),
      port_(config.line) {
  for (const ModuleConfig& module : config.modules) modules_.emplace_back(module, line_topic_);
}

int Gateway::run() {
  const auto start = Clock::now();
  window_start_ = start;
  diagnostics_due_ = start + kDiagnosticsEvery;
  connecting_ = true;
  link_.connect();
  open_port();
  notify_.ready("polling " + std::to_string(modules_.size()) + " module(s) on " + port_.label());
  while (!stopping_) {
    notify_.heartbeat();
    const Clock::time_point now = Clock::now();
    // With work waiting, only take what has arrived; otherwise sleep until
    // the next thing is due.
    for (const Letter& letter : mailbox_.collect(next_wake(now))) handle(letter);
    if (stopping_) break;
    const Clock::time_point after = Clock::now();
    if (!connecting_ && !link_.connected() && after >= broker_retry_at_) {
      connecting_ = true;
      link_.connect();
    }
    if (!port_.is_open()) {
      if (after >= port_retry_at_) open_port();
    } else if (!pending_.empty()) {
      PendingSet pending = std::move(pending_.front());
      pending_.pop_front();
      apply(pending);
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

Clock::time_point Gateway::next_wake(Clock::time_point now) const {
  Clock::time_point wake = std::min(now + notify_.longest_sleep(), diagnostics_due_);
  if (!connecting_ && !link_.connected()) wake = std::min(wake, broker_retry_at_);
  if (!port_.is_open()) return std::min(wake, port_retry_at_);
  if (!pending_.empty()) return now;
  for (const ModuleState& module : modules_) wake = std::min(wake, module.next_due);
  return wake;
}

void Gateway::handle(const Letter& letter) {
  switch (letter.kind) {
    case Letter::Kind::kStop:
      stopping_ = true;
      return;
    case Letter::Kind::kConnected:
      on_connected();
      return;
    case Letter::Kind::kConnectFailed: {
      const bool login =
          letter.code == 4 || letter.code == 5 || letter.code == 134 || letter.code == 135;
      log_.fault("broker", login ? "the broker " + config_.mqtt.broker + " refused the login of " +
                                       "user \"" + config_.mqtt.username +
                                       "\" (bad user name or password, or not authorized); "
                                       "retrying with backoff"
                                 : "cannot connect to the broker " + config_.mqtt.broker + " (" +
                                       letter.text + "); retrying with backoff");
      retry_broker();
      return;
    }
    case Letter::Kind::kConnectionLost:
      log_.fault("broker",
                 "lost the broker " + config_.mqtt.broker + "; reconnecting with backoff");
      retry_broker();
      return;
    case Letter::Kind::kMessage:
      try {
        handle_message(letter);
      } catch (const std::exception& e) {
        // Whatever a message holds, it must not end the gateway.
        log_.info(letter.topic + ": ignored: " + e.what());
      }
      return;
  }
}

void Gateway::retry_broker() {
  connecting_ = false;
  broker_retry_at_ = Clock::now() + broker_backoff_.next();
}

void Gateway::on_connected() {
  connecting_ = false;
  link_.up();
  broker_backoff_.reset();
  if (ever_connected_) ++broker_reconnects_;
  ever_connected_ = true;
  const std::string connected =
      "connected to the broker " + config_.mqtt.broker + " as " + line_topic_;
  if (!log_.cleared("broker", connected)) log_.info(connected);
  link_.subscribe();
  // A broker without persistence has lost everything retained: all again.
  link_.publish(line_topic_ + "/state", "online", true);
  for (ModuleState& module : modules_) {
    publish_availability(module);
    if (!module.values.is_null()) publish_state(module, true);
  }
  if (config_.mqtt.homeassistant) publish_discovery();
  publish_diagnostics();
}

void Gateway::handle_message(const Letter& letter) {
  if (letter.topic == kHomeAssistantStatus) {
    if (letter.payload == "online") publish_discovery();
    return;
  }
  // <line topic>/<module>/get or <line topic>/<module>/set/<setting>
  if (letter.topic.rfind(line_topic_ + "/", 0) != 0) return;
  const std::string rest = letter.topic.substr(line_topic_.size() + 1);
  const size_t slash = rest.find('/');
  if (slash == std::string::npos) return;
  const std::string name = rest.substr(0, slash);
  const std::string action = rest.substr(slash + 1);
  if (action != "get" && action.rfind("set/", 0) != 0) return;
  ModuleState* module = find_module(name);
  if (action == "get") {
    if (module != nullptr) module->next_due = Clock::now();
    return;
  }
  SetRequest request;
  request.response_topic = letter.response_topic;
  request.correlation = letter.correlation;
  const std::string response_topic = line_topic_ + "/" + name + "/response";
  try {
    if (letter.payload.size() > kLargestPayload) {
      request.setting = action.substr(4);
      throw Refusal("the payload is over 4096 bytes");
    }
    if (module == nullptr) {
      request.setting = action.substr(4);
      throw Refusal("no module \"" + name + "\" on " + line_topic_);
    }
    parse_set(action.substr(4), letter.payload, module->config.address.size(), request);
    if (letter.retained) {
      throw Refusal("a retained command is never carried out; publish it without the retain flag");
    }
  } catch (const Refusal& refusal) {
    log_.info(letter.topic + ": refused: " + refusal.what());
    answer(response_topic, request, kRefusedStatus, refusal.what());
    return;
  }
  if (!port_.is_open()) {
    answer(response_topic, request, BT_NO_PORT, port_.label() + " is not open; nothing sent");
    return;
  }
  pending_.push_back({std::move(request), module});
}

ModuleState* Gateway::find_module(const std::string& name) {
  for (ModuleState& module : modules_) {
    if (module.config.name == name) return &module;
  }
  return nullptr;
}

void Gateway::answer(const std::string& topic, const SetRequest& request, int status,
                     const std::string& text, const cli::Json& confirmed) {
  const std::string body = response(request, status, text, confirmed);
  link_.publish(topic, body, false);
  if (!request.response_topic.empty()) {
    link_.publish(request.response_topic, body, false, request.correlation);
  }
}

void Gateway::open_port() {
  const std::string why = port_.open();
  if (!why.empty()) {
    log_.fault("port", port_.label() + ": " + why + "; retrying with backoff");
    port_retry_at_ = Clock::now() + port_backoff_.next();
    return;
  }
  port_backoff_.reset();
  if (ever_opened_) ++port_reconnects_;
  ever_opened_ = true;
  log_.cleared("port", port_.label() + ": open again");
  const Clock::time_point now = Clock::now();
  for (ModuleState& module : modules_) module.next_due = now;
}

void Gateway::lose_port(const std::string& why) {
  port_.close();
  for (const PendingSet& pending : pending_) {
    answer(pending.module->topic + "/response", pending.request, BT_NO_PORT,
           port_.label() + " was lost; nothing sent");
  }
  pending_.clear();
  log_.fault("port", port_.label() + ": " + why + "; reopening with backoff");
  port_retry_at_ = Clock::now() + port_backoff_.next();
  for (ModuleState& module : modules_) {
    module.failures_in_row = 0;
    if (module.online) {
      module.online = false;
      publish_availability(module);
    }
  }
}

void Gateway::poll(ModuleState& module) {
  const Clock::time_point start = Clock::now();
  if (module.last_start != Clock::time_point{}) {
    cycle_sum_ += start - module.last_start;
    ++cycles_;
  }
  module.last_start = start;
  module.next_due = start + std::chrono::duration_cast<Clock::duration>(
                                std::chrono::duration<double>(module.config.interval));
  cli::Json values = cli::Json::object();
  int16_t status = BT_OK;
  const cli::Query* failed_query = nullptr;
  ModuleRecord record{};
  for (const cli::Query* query : module.queries) {
    status = port_.query(*query, module.config.address, record);
    if (status != BT_OK) {
      failed_query = query;
      break;
    }
    values.update(cli::record_fields(record, query->fields));
  }
  const auto read_at = std::chrono::system_clock::now();
  busy_ += Clock::now() - start;
  module.last_poll = utc_time(read_at);
  ++module.polls;
  const std::string key = "module " + module.config.name;
  if (failed_query != nullptr) {
    ++module.failed;
    if (status == BT_NO_REPLY && port_.device_gone()) {
      lose_port("the device stopped working (unplugged or closed at the far end)");
      return;
    }
    log_.fault(key, module.topic + ": " + std::string(failed_query->name) + " at address " +
                        module.config.address + " failed with status " + std::to_string(status) +
                        (status == BT_NO_REPLY ? " (no reply)" : " (bad reply)"));
    if (++module.failures_in_row >= kFailuresOffline && module.online) {
      module.online = false;
      publish_availability(module);
    }
    return;
  }
  module.failures_in_row = 0;
  log_.cleared(key, module.topic + ": answering again");
  module.values = std::move(values);
  module.read_time = module.last_poll;
  publish_state(module, false);
  if (!module.online) {
    module.online = true;
    publish_availability(module);
  }
}

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

void Gateway::apply(PendingSet& pending) {
  SetRequest& request = pending.request;
  ModuleState& module = *pending.module;
  const std::string topic = module.topic + "/response";
  ModuleRecord record{};
  const Clock::time_point start = Clock::now();
  const int16_t status =
      port_.set(request.entry, request.values, request.text, module.config.address, record);
  busy_ += Clock::now() - start;
  if (status != BT_OK) {
    answer(topic, request, status,
           "the library answered status " + std::to_string(status) + "; nothing confirmed");
    if (port_.device_gone()) lose_port("the device stopped working while sending a setting");
    return;
  }
  // Outputs and directions can be read back, by the query of the same name:
  // say whether the module took them.
  cli::Json confirmed;
  if (request.setting == "digital-out" || request.setting == "direction") {
    const cli::Query& query = *cli::find_query(request.setting);
    ModuleRecord read{};
    const bool got = port_.query(query, module.config.address, read) == BT_OK;
    confirmed = got && cli::record_fields(read, query.fields).front() == request.values[0];
  }
  poll(module);
  answer(topic, request, BT_OK, "sent " + cli::sent_line(record), confirmed);
}

void Gateway::publish_diagnostics() {
  const Clock::time_point now = Clock::now();
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
  cli::Json body = {{"time", now_text()},
                    {"port", port_.label()},
                    {"port_open", port_.is_open()},
                    {"cycle_ms", cycle},
                    {"busy", window > 0 ? std::min(1.0, seconds(busy_) / window) : 0.0},
                    {"broker_reconnects", broker_reconnects_},
                    {"port_reconnects", port_reconnects_},
                    {"modules", modules}};
  link_.publish(line_topic_ + "/diagnostics", body.dump(), true);
  window_start_ = now;
  busy_ = {};
  cycle_sum_ = {};
  cycles_ = 0;
  diagnostics_due_ = now + kDiagnosticsEvery;
}

}  // namespace gateway
