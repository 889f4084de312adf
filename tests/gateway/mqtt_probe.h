// SPDX-License-Identifier: MIT
#pragma once
#include <mqtt/async_client.h>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace gwtest {

// One message as the probe received it.
struct Message {
  std::string topic, payload;
  bool retained = false;
  std::string correlation;  // the MQTT 5 property, empty when absent
};

// How a probe logs in; all optional. A `caFile` enables verifying the
// broker's certificate (for mqtts:// urls), `certFile` and `keyFile` present
// a client certificate; `clientId` replaces the probe's own unique one.
struct Login {
  std::string user{}, password{}, caFile{}, certFile{}, keyFile{}, clientId{};
};

// A test client (MQTT 5) that records what it receives on its subscriptions
// and publishes as a user of the gateway would.
class MqttProbe {
 public:
  // Connects, or throws std::runtime_error saying why.
  explicit MqttProbe(const std::string& url, const Login& login = {});
  ~MqttProbe();
  MqttProbe(const MqttProbe&) = delete;
  MqttProbe& operator=(const MqttProbe&) = delete;

  // QoS 1, retain flags kept as published so live retained messages show it.
  void subscribe(const std::string& filter);

  // The first message on exactly `topic` whose payload satisfies `accept`,
  // received since subscribing or the last clear(); waits up to `timeoutMs`.
  std::optional<Message> waitFor(
      const std::string& topic,
      const std::function<bool(const std::string&)>& accept =
          [](const std::string&) { return true; },
      int timeoutMs = 10000);
  size_t count(const std::string& topic) const { return all(topic).size(); }
  // Every message received on exactly `topic`, in order.
  std::vector<Message> all(const std::string& topic) const;
  void clear();

  // Both wait until the message is delivered as its QoS requires. A message
  // with `expirySeconds` carries that MQTT 5 message expiry.
  void publish(const std::string& topic, const std::string& payload, bool retain = false,
               int qos = 1, int expirySeconds = 0);
  void publishWithResponse(const std::string& topic, const std::string& payload,
                           const std::string& responseTopic, const std::string& correlation);

 private:
  mutable std::mutex mutex_;
  std::condition_variable arrived_;
  std::vector<Message> messages_;
  mqtt::async_client client_;  // last: its callback uses the members above
};

}  // namespace gwtest
