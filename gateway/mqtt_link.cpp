// SPDX-License-Identifier: MIT
#include "mqtt_link.h"

#include <mqtt/async_client.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <deque>

#include "broker_address.h"
#include "broker_probe.h"

namespace gateway {

namespace {

constexpr auto kCloseBound = std::chrono::seconds(3);
constexpr auto kProbeBound = std::chrono::seconds(2);
constexpr int kQos = 1;

std::string property_text(const mqtt::properties& props, mqtt::property::code code) {
  if (!props.contains(code)) return "";
  return mqtt::get<std::string>(props, code);
}

std::string reason_text(int reason) {
  char code[8];
  std::snprintf(code, sizeof code, "0x%02X", reason);
  return std::string(code) + ": " + mqtt::exception::reason_code_str(reason);
}

// A MQTT 3.1.1 broker's CONNACK refusal, 1 to 5.
std::string v311_refusal(int code) {
  static const char* const kTexts[] = {"unacceptable protocol version",
                                       "client identifier rejected", "server unavailable",
                                       "bad user name or password", "not authorized"};
  return code >= 1 && code <= 5 ? std::to_string(code) + ": " + kTexts[code - 1]
                                : "code " + std::to_string(code);
}

// CONNACK codes that mean the broker will not have this user, password or
// certificate: MQTT 3.1.1's 4 and 5, MQTT 5's 0x86, 0x87 and 0x8C.
bool login_refusal(int code) {
  return code == 4 || code == 5 || code == 0x86 || code == 0x87 || code == 0x8C;
}

}  // namespace

// The link's workings, in Paho's types; the header says what each member does.
class MqttLink::Paho : private mqtt::iaction_listener {
 public:
  Paho(const MqttConfig& config, LinkOptions options, Mailbox& mailbox);
  ~Paho() override;

  void connect();
  void subscribe();
  bool connected() const { return connected_; }
  void up() { connected_ = true; }
  void down() { connected_ = false; }
  void publish(const std::string& topic, const std::string& payload, bool retained,
               const std::string& correlation);
  void send_kept();
  uint64_t dropped() const { return dropped_; }
  void close_with(const std::string& topic, const std::string& payload);

 private:
  struct Kept {
    std::string topic, payload, correlation;
    mqtt::delivery_token_ptr token;  // null: not sent yet
  };

  void on_success(const mqtt::token& token) override;
  void on_failure(const mqtt::token& token) override;
  void make_client();  // replaces the client, ending its threads
  void keep(Kept kept);
  // Drops what the broker has acknowledged.
  void prune();

  MqttConfig config_;
  BrokerAddress address_;
  LinkOptions options_;
  Mailbox& mailbox_;

  int version_ = MQTTVERSION_5;  // 3.1.1 once a broker refused 5
  bool attempted_ = false;
  std::unique_ptr<mqtt::async_client> client_;
  std::atomic<bool> connected_{false};
  std::deque<Kept> kept_;  // main thread only
  uint64_t dropped_ = 0;
};

MqttLink::Paho::Paho(const MqttConfig& config, LinkOptions options, Mailbox& mailbox)
    : config_(config),
      address_(parse_broker(config.broker)),
      options_(std::move(options)),
      mailbox_(mailbox) {
  make_client();
}

void MqttLink::Paho::make_client() {
  client_.reset();
  client_ = std::make_unique<mqtt::async_client>(paho_uri(address_), options_.client_id,
                                                 mqtt::create_options(version_));
  client_->set_connection_lost_handler([this](const std::string& cause) {
    connected_ = false;
    mailbox_.post({.kind = Letter::Kind::kConnectionLost,
                   .text = "the connection broke" + (cause.empty() ? "" : ": " + cause)});
  });
  // An MQTT 5 broker that ends the connection says why, in a DISCONNECT
  // packet: Paho reports that here, never as a lost connection.
  client_->set_disconnected_handler([this](const mqtt::properties& props, mqtt::ReasonCode code) {
    connected_ = false;
    const std::string why = property_text(props, mqtt::property::REASON_STRING);
    mailbox_.post({.kind = Letter::Kind::kConnectionLost,
                   .code = static_cast<int>(code),
                   .text = "the broker disconnected us (" + reason_text(code) +
                           (why.empty() ? "" : ", \"" + why + "\"") + ")"});
  });
  client_->set_message_callback([this](mqtt::const_message_ptr message) {
    const mqtt::properties& props = message->get_properties();
    Letter letter{.kind = Letter::Kind::kMessage,
                  .topic = message->get_topic(),
                  .payload = message->to_string(),
                  .retained = message->is_retained(),
                  .response_topic = property_text(props, mqtt::property::RESPONSE_TOPIC),
                  .correlation = property_text(props, mqtt::property::CORRELATION_DATA)};
    letter.has_response_topic = props.contains(mqtt::property::RESPONSE_TOPIC);
    if (props.contains(mqtt::property::MESSAGE_EXPIRY_INTERVAL)) {
      letter.expires = true;
      letter.expires_at = Clock::now() + std::chrono::seconds(mqtt::get<uint32_t>(
                                             props, mqtt::property::MESSAGE_EXPIRY_INTERVAL));
    }
    mailbox_.post(std::move(letter));
  });
}

MqttLink::Paho::~Paho() {
  try {
    if (client_->is_connected()) client_->disconnect()->wait_for(kCloseBound);
  } catch (const mqtt::exception&) {
    // Going away: nothing is left to tell.
  }
}

void MqttLink::Paho::connect() {
  connected_ = false;
  // Every attempt after the first gets a client of its own: a client made
  // for one protocol version, with no state left from a connection that
  // ended, and one that connects at once (Paho's threads of a client whose
  // connection ended notice a new one only after their next time-out, 1 s).
  // What the old one had in flight is sent again from the kept responses.
  if (attempted_) {
    prune();
    for (Kept& k : kept_) k.token.reset();
    make_client();
  }
  attempted_ = true;
  auto will = mqtt::message(options_.will_topic, std::string("offline"), kQos, true);
  auto builder = mqtt::connect_options_builder()
                     .mqtt_version(version_)
                     .keep_alive_interval(std::chrono::seconds(config_.keepalive))
                     .connect_timeout(std::chrono::seconds(10))
                     .will(will);
  if (version_ == MQTTVERSION_5) {
    // The broker keeps the session, and the set requests published for us,
    // while we are away up to the expiry; MQTT 5 message expiry drops those
    // that are stale by then.
    builder.clean_start(false).properties(
        {{mqtt::property::SESSION_EXPIRY_INTERVAL, static_cast<int>(config_.session_expiry)}});
  } else {
    // MQTT 3.1.1 has neither session nor message expiry: a kept session
    // would hand over requests of any age, so none is kept.
    builder.clean_session(true);
  }
  if (!config_.username.empty()) {
    builder.user_name(config_.username);
    if (!config_.password_file.empty()) builder.password(options_.password);
  }
  if (address_.tls) {
    auto ssl = mqtt::ssl_options_builder().enable_server_cert_auth(true).verify(true);
    if (!config_.ca_file.empty()) ssl.trust_store(config_.ca_file);
    if (!config_.cert_file.empty()) ssl.key_store(config_.cert_file).private_key(config_.key_file);
    builder.ssl(ssl.finalize());
  }
  try {
    client_->connect(builder.finalize(), nullptr, *this);
  } catch (const mqtt::exception& e) {
    mailbox_.post({.kind = Letter::Kind::kConnectFailed,
                   .code = e.get_return_code(),
                   .text = e.get_message()});
  }
}

void MqttLink::Paho::on_success(const mqtt::token& token) {
  const bool resumed =
      version_ == MQTTVERSION_5 && token.get_connect_response().is_session_present();
  mailbox_.post({.kind = Letter::Kind::kConnected, .code = resumed ? 1 : 0});
}

void MqttLink::Paho::on_failure(const mqtt::token& token) {
  connected_ = false;
  const int reason = token.get_reason_code();
  const int rc = token.get_return_code();
  // A broker of MQTT 3.1.1 only answers 5 with "unacceptable protocol
  // version" (1) or "unsupported protocol version" (132): speak 3.1.1 to it,
  // without retain-as-published, response topics and session expiry.
  if (version_ == MQTTVERSION_5 && (rc == 1 || reason == 1 || reason == 132)) {
    version_ = MQTTVERSION_3_1_1;
    mailbox_.post({.kind = Letter::Kind::kConnectFailed,
                   .code = 1,
                   .text = "the broker speaks MQTT 3.1.1 only; using it"});
    return;
  }
  // MQTT 3.1.1 brokers' refusals arrive as the return code, MQTT 5's as the
  // reason code; anything below MQTT is one "failure" code, so look.
  const int code = reason != 0 ? reason : rc;
  Letter letter{.kind = Letter::Kind::kConnectFailed, .code = code};
  letter.login_refused = login_refusal(code);
  if (code >= 0x80) {
    letter.text = "the broker refused the connection (" + reason_text(code) + ")";
  } else if (code > 0) {
    letter.text = "the broker refused the connection (" + v311_refusal(code) + ")";
  } else {
    letter.text = connect_problem(address_, kProbeBound);
  }
  mailbox_.post(std::move(letter));
}

void MqttLink::Paho::subscribe() {
  // Retain-as-published keeps the flag on live messages too, so a command
  // published with retain is recognised the moment it arrives.
  const mqtt::subscribe_options options(false, true);
  try {
    for (const std::string& filter : options_.subscriptions) {
      if (version_ == MQTTVERSION_5) {
        client_->subscribe(filter, kQos, options);
      } else {
        client_->subscribe(filter, kQos);
      }
    }
  } catch (const mqtt::exception&) {
    // The connection went while subscribing: the next connect subscribes again.
  }
}

void MqttLink::Paho::prune() {
  std::erase_if(kept_, [](const Kept& k) {
    return k.token && k.token->is_complete() && k.token->get_return_code() == 0;
  });
}

void MqttLink::Paho::keep(Kept kept) {
  prune();
  if (kept_.size() == kKeptResponses) {
    kept_.pop_front();
    ++dropped_;
  }
  kept_.push_back(std::move(kept));
}

void MqttLink::Paho::publish(const std::string& topic, const std::string& payload, bool retained,
                             const std::string& correlation) {
  mqtt::delivery_token_ptr token;
  if (connected_) {
    auto message = mqtt::make_message(topic, payload, kQos, retained);
    if (!correlation.empty()) {
      message->set_properties({{mqtt::property::CORRELATION_DATA, mqtt::binary(correlation)}});
    }
    try {
      token = client_->publish(message);
    } catch (const mqtt::exception&) {
      // Lost meanwhile: kept below, or republished with the state.
    }
  }
  if (!retained) keep({topic, payload, correlation, token});
}

void MqttLink::Paho::send_kept() {
  prune();
  std::deque<Kept> kept = std::exchange(kept_, {});
  for (const Kept& k : kept) publish(k.topic, k.payload, false, k.correlation);
}

void MqttLink::Paho::close_with(const std::string& topic, const std::string& payload) {
  if (!connected_) return;
  try {
    client_->publish(mqtt::make_message(topic, payload, kQos, true))->wait_for(kCloseBound);
    client_->disconnect()->wait_for(kCloseBound);
  } catch (const mqtt::exception&) {
    // The broker went first: the last will says the same.
  }
  connected_ = false;
}

MqttLink::MqttLink(const MqttConfig& config, LinkOptions options, Mailbox& mailbox)
    : paho_(std::make_unique<Paho>(config, std::move(options), mailbox)) {}

MqttLink::~MqttLink() = default;

void MqttLink::connect() {
  paho_->connect();
}
void MqttLink::subscribe() {
  paho_->subscribe();
}
bool MqttLink::connected() const {
  return paho_->connected();
}
void MqttLink::up() {
  paho_->up();
}
void MqttLink::down() {
  paho_->down();
}
void MqttLink::publish(const std::string& topic, const std::string& payload, bool retained,
                       const std::string& correlation) {
  paho_->publish(topic, payload, retained, correlation);
}
void MqttLink::send_kept() {
  paho_->send_kept();
}
uint64_t MqttLink::dropped() const {
  return paho_->dropped();
}
void MqttLink::close_with(const std::string& topic, const std::string& payload) {
  paho_->close_with(topic, payload);
}

}  // namespace gateway
