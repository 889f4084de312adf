// The gateway's connection to the broker (Paho's asynchronous client): the
// last will, TLS and login, the line's subscriptions, and publishing. Every
// event goes to the mailbox; reconnecting is the main loop's decision.
#ifndef BRIMTALLY_GATEWAY_MQTT_LINK_H
#define BRIMTALLY_GATEWAY_MQTT_LINK_H

#include <mqtt/async_client.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "gateway_config.h"
#include "mailbox.h"

namespace gateway {

struct LinkOptions {
  std::string client_id;
  std::string will_topic;  // "offline" is left there, retained, if we vanish
  std::vector<std::string> subscriptions;
  std::string password;  // read from the password file
};

class MqttLink : private mqtt::iaction_listener {
 public:
  MqttLink(const MqttConfig& config, LinkOptions options, Mailbox& mailbox);
  ~MqttLink() override;
  MqttLink(const MqttLink&) = delete;
  MqttLink& operator=(const MqttLink&) = delete;

  // Starts one connection attempt; its outcome arrives as a letter.
  void connect();
  // After kConnected: subscribes to the line's topics.
  void subscribe();
  bool connected() const { return connected_; }
  // Called by the main loop when it takes the kConnected letter: publishing
  // starts there, so nothing goes out before the line's own state.
  void up() { connected_ = true; }
  // Publishes at QoS 1; dropped while not connected (the gateway publishes
  // its whole state again on every connect).
  void publish(const std::string& topic, const std::string& payload, bool retained,
               const std::string& correlation = "");
  // Publishes and waits (bounded) until the broker has it, then disconnects.
  void close_with(const std::string& topic, const std::string& payload);

 private:
  void on_success(const mqtt::token& token) override;
  void on_failure(const mqtt::token& token) override;

  MqttConfig config_;
  LinkOptions options_;
  Mailbox& mailbox_;
  void make_client();

  int version_ = MQTTVERSION_5;  // 3.1.1 once a broker refused 5
  int client_version_ = 0;
  std::unique_ptr<mqtt::async_client> client_;
  std::atomic<bool> connected_{false};
};

// "mqtt://host:port" as Paho names it ("tcp://", "ssl://"), with the default
// port when none is given.
std::string paho_uri(const std::string& broker);

}  // namespace gateway

#endif  // BRIMTALLY_GATEWAY_MQTT_LINK_H
