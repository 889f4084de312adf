#include "mqtt_link.h"

#include <chrono>

namespace gateway {

namespace {

constexpr auto kCloseBound = std::chrono::seconds(3);
constexpr int kQos = 1;

std::string property_text(const mqtt::properties& props, mqtt::property::code code) {
  if (!props.contains(code)) return "";
  return mqtt::get<std::string>(props, code);
}

}  // namespace

std::string paho_uri(const std::string& broker) {
  const bool tls = broker.rfind("mqtts://", 0) == 0;
  std::string rest = broker.substr(tls ? 8 : 7);
  if (!rest.empty() && rest.back() == '/') rest.pop_back();
  const size_t bracket = rest.rfind(']');
  const size_t colon = rest.rfind(':');
  if (colon == std::string::npos || (bracket != std::string::npos && colon < bracket)) {
    rest += tls ? ":8883" : ":1883";
  }
  return (tls ? "ssl://" : "tcp://") + rest;
}

MqttLink::MqttLink(const MqttConfig& config, LinkOptions options, Mailbox& mailbox)
    : config_(config), options_(std::move(options)), mailbox_(mailbox) {
  make_client();
}

void MqttLink::make_client() {
  client_ = std::make_unique<mqtt::async_client>(paho_uri(config_.broker), options_.client_id,
                                                 mqtt::create_options(version_));
  client_version_ = version_;
  client_->set_connection_lost_handler([this](const std::string& cause) {
    connected_ = false;
    mailbox_.post({.kind = Letter::Kind::kConnectionLost, .text = cause});
  });
  client_->set_message_callback([this](mqtt::const_message_ptr message) {
    const mqtt::properties& props = message->get_properties();
    mailbox_.post({.kind = Letter::Kind::kMessage,
                   .topic = message->get_topic(),
                   .payload = message->to_string(),
                   .retained = message->is_retained(),
                   .response_topic = property_text(props, mqtt::property::RESPONSE_TOPIC),
                   .correlation = property_text(props, mqtt::property::CORRELATION_DATA)});
  });
}

MqttLink::~MqttLink() {
  try {
    if (client_->is_connected()) client_->disconnect()->wait_for(kCloseBound);
  } catch (const mqtt::exception&) {
    // Going away: nothing is left to tell.
  }
}

void MqttLink::connect() {
  // A client is made for one protocol version.
  if (client_version_ != version_) make_client();
  auto will = mqtt::message(options_.will_topic, std::string("offline"), kQos, true);
  auto builder = mqtt::connect_options_builder()
                     .mqtt_version(version_)
                     .keep_alive_interval(std::chrono::seconds(config_.keepalive))
                     .connect_timeout(std::chrono::seconds(10))
                     .will(will);
  if (version_ == MQTTVERSION_5) {
    builder.clean_start(true);
  } else {
    builder.clean_session(true);
  }
  if (!config_.username.empty()) {
    builder.user_name(config_.username);
    if (!config_.password_file.empty()) builder.password(options_.password);
  }
  if (config_.broker.rfind("mqtts://", 0) == 0) {
    auto ssl = mqtt::ssl_options_builder().enable_server_cert_auth(true).verify(true);
    if (!config_.ca_file.empty()) ssl.trust_store(config_.ca_file);
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

void MqttLink::on_success(const mqtt::token&) {
  mailbox_.post({.kind = Letter::Kind::kConnected});
}

void MqttLink::on_failure(const mqtt::token& token) {
  connected_ = false;
  const int reason = token.get_reason_code();
  // A broker of MQTT 3.1.1 only answers 5 with "unacceptable protocol
  // version" (1) or "unsupported protocol version" (132): speak 3.1.1 to it,
  // without retain-as-published and response topics.
  if (version_ == MQTTVERSION_5 && (token.get_return_code() == 1 || reason == 1 || reason == 132)) {
    version_ = MQTTVERSION_3_1_1;
    mailbox_.post({.kind = Letter::Kind::kConnectFailed,
                   .code = 1,
                   .text = "the broker speaks MQTT 3.1.1 only; using it"});
    return;
  }
  mailbox_.post({.kind = Letter::Kind::kConnectFailed,
                 .code = reason != 0 ? reason : token.get_return_code(),
                 .text = reason != 0 ? mqtt::exception::reason_code_str(reason)
                                     : mqtt::exception::error_str(token.get_return_code())});
}

void MqttLink::subscribe() {
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

void MqttLink::publish(const std::string& topic, const std::string& payload, bool retained,
                       const std::string& correlation) {
  if (!connected_) return;
  auto message = mqtt::make_message(topic, payload, kQos, retained);
  if (!correlation.empty()) {
    message->set_properties({{mqtt::property::CORRELATION_DATA, mqtt::binary(correlation)}});
  }
  try {
    client_->publish(message);
  } catch (const mqtt::exception&) {
    // Lost meanwhile: the state goes out again on the next connect.
  }
}

void MqttLink::close_with(const std::string& topic, const std::string& payload) {
  if (!connected_) return;
  try {
    client_->publish(mqtt::make_message(topic, payload, kQos, true))->wait_for(kCloseBound);
    client_->disconnect()->wait_for(kCloseBound);
  } catch (const mqtt::exception&) {
    // The broker went first: the last will says the same.
  }
  connected_ = false;
}

}  // namespace gateway
