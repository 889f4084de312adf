// The gateway's connection to the broker (Paho's asynchronous client): the
// last will, the persistent session, TLS and login, the line's
// subscriptions, and publishing. Every event goes to the mailbox; when to
// reconnect is the main loop's decision. Paho's types stay in this file.
#ifndef BRIMTALLY_GATEWAY_MQTT_LINK_H
#define BRIMTALLY_GATEWAY_MQTT_LINK_H

#include <mqtt/async_client.h>

#include <atomic>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "broker_address.h"
#include "gateway_config.h"
#include "mailbox.h"

namespace gateway {

struct LinkOptions {
  std::string client_id;
  std::string will_topic;  // "offline" is left there, retained, if we vanish
  std::vector<std::string> subscriptions;
  std::string password;  // read from the password file
};

// Responses not yet acknowledged by the broker are kept up to this many,
// the oldest given up first.
inline constexpr size_t kKeptResponses = 1024;

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
  // When the main loop takes the connection's end: publishing stops.
  void down() { connected_ = false; }
  // Publishes at QoS 1. A retained message that does not reach the broker
  // is not missed (the gateway publishes its whole state again on every
  // connect); any other is kept until the broker has acknowledged it.
  void publish(const std::string& topic, const std::string& payload, bool retained,
               const std::string& correlation = "");
  // Sends again, in order, what the broker has not acknowledged: published
  // while away, or in flight when the connection ended.
  void send_kept();
  // Kept messages given up because more were due than are kept.
  uint64_t dropped() const { return dropped_; }
  // Publishes and waits (bounded) until the broker has it, then disconnects.
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

}  // namespace gateway

#endif  // BRIMTALLY_GATEWAY_MQTT_LINK_H
