// SPDX-License-Identifier: MIT
#include "mqtt_probe.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <stdexcept>

namespace gwtest {

namespace {

constexpr auto kBound = std::chrono::seconds(10);

std::string property(const mqtt::properties& props, mqtt::property::code code) {
  return props.contains(code) ? mqtt::get<std::string>(props, code) : "";
}

// Starts an operation and waits for its end; failure or silence throws.
template <typename Start>
void await(const std::string& what, Start start) {
  try {
    if (!start()->wait_for(kBound)) throw std::runtime_error("no answer within 10 s");
  } catch (const std::exception& e) {
    throw std::runtime_error(what + ": " + e.what());
  }
}

std::string clientId() {
  static std::atomic<int> next{0};
  return "probe-" + std::to_string(::getpid()) + "-" + std::to_string(next++);
}

}  // namespace

MqttProbe::MqttProbe(const std::string& url, const Login& login)
    : client_(url, login.clientId.empty() ? clientId() : login.clientId,
              mqtt::create_options(MQTTVERSION_5)) {
  client_.set_message_callback([this](mqtt::const_message_ptr msg) {
    const auto& props = msg->get_properties();
    std::lock_guard lock(mutex_);
    messages_.push_back({msg->get_topic(), msg->get_payload_str(), msg->is_retained(),
                         property(props, mqtt::property::CORRELATION_DATA)});
    arrived_.notify_all();
  });
  auto opts = mqtt::connect_options_builder()
                  .mqtt_version(MQTTVERSION_5)
                  .clean_start(true)
                  .connect_timeout(std::chrono::seconds(5))
                  .finalize();
  if (!login.user.empty()) {
    opts.set_user_name(login.user);
    opts.set_password(login.password);
  }
  if (!login.caFile.empty()) {
    auto ssl = mqtt::ssl_options_builder().trust_store(login.caFile).verify(true);
    if (!login.certFile.empty()) ssl.key_store(login.certFile).private_key(login.keyFile);
    opts.set_ssl(ssl.finalize());
  }
  await("connecting to " + url, [&] { return client_.connect(opts); });
}

MqttProbe::~MqttProbe() {
  try {
    if (client_.is_connected()) client_.disconnect()->wait_for(kBound);
  } catch (const mqtt::exception&) {
    // The broker went away first: nothing left to close.
  }
}

void MqttProbe::subscribe(const std::string& filter) {
  await("subscribing to " + filter,
        [&] { return client_.subscribe(filter, 1, mqtt::subscribe_options(false, true)); });
}

std::optional<Message> MqttProbe::waitFor(const std::string& topic,
                                          const std::function<bool(const std::string&)>& accept,
                                          int timeoutMs) {
  std::unique_lock lock(mutex_);
  std::optional<Message> found;
  arrived_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
    for (const auto& m : messages_)
      if (m.topic == topic && accept(m.payload)) return found.emplace(m), true;
    return false;
  });
  return found;
}

std::vector<Message> MqttProbe::all(const std::string& topic) const {
  std::lock_guard lock(mutex_);
  std::vector<Message> found;
  std::copy_if(messages_.begin(), messages_.end(), std::back_inserter(found),
               [&](const Message& m) { return m.topic == topic; });
  return found;
}

void MqttProbe::clear() {
  std::lock_guard lock(mutex_);
  messages_.clear();
}

void MqttProbe::publish(const std::string& topic, const std::string& payload, bool retain, int qos,
                        int expirySeconds) {
  auto msg = mqtt::make_message(topic, payload, qos, retain);
  if (expirySeconds > 0)
    msg->set_properties({{mqtt::property::MESSAGE_EXPIRY_INTERVAL, expirySeconds}});
  await("publishing to " + topic, [&] { return client_.publish(msg); });
}

void MqttProbe::publishWithResponse(const std::string& topic, const std::string& payload,
                                    const std::string& responseTopic,
                                    const std::string& correlation) {
  auto msg = mqtt::make_message(topic, payload, 1, false);
  msg->set_properties({{mqtt::property::RESPONSE_TOPIC, responseTopic},
                       {mqtt::property::CORRELATION_DATA, correlation}});
  await("publishing to " + topic, [&] { return client_.publish(msg); });
}

}  // namespace gwtest
