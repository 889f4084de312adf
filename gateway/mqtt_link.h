// SPDX-License-Identifier: MIT
// The gateway's connection to the broker (Paho's asynchronous client): the
// last will, the persistent session, TLS and login, the line's
// subscriptions, and publishing. Every event goes to the mailbox; when to
// reconnect is the main loop's decision. Paho's types stay in mqtt_link.cpp.
#ifndef BRIMTALLY_GATEWAY_MQTT_LINK_H
#define BRIMTALLY_GATEWAY_MQTT_LINK_H

#include <cstdint>
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

// Responses not yet acknowledged by the broker are kept up to this many,
// the oldest given up first.
inline constexpr size_t kKeptResponses = 1024;

class MqttLink {
 public:
  MqttLink(const MqttConfig& config, LinkOptions options, Mailbox& mailbox);
  ~MqttLink();
  MqttLink(const MqttLink&) = delete;
  MqttLink& operator=(const MqttLink&) = delete;

  // Starts one connection attempt; its outcome arrives as a letter.
  void connect();
  // After kConnected: subscribes to the line's topics.
  void subscribe();
  bool connected() const;
  // Called by the main loop when it takes the kConnected letter: publishing
  // starts there, so nothing goes out before the line's own state.
  void up();
  // When the main loop takes the connection's end: publishing stops.
  void down();
  // Publishes at QoS 1. A retained message that does not reach the broker
  // is not missed (the gateway publishes its whole state again on every
  // connect); any other is kept until the broker has acknowledged it.
  void publish(const std::string& topic, const std::string& payload, bool retained,
               const std::string& correlation = "");
  // Sends again, in order, what the broker has not acknowledged: published
  // while away, or in flight when the connection ended.
  void send_kept();
  // Kept messages given up because more were due than are kept.
  uint64_t dropped() const;
  // Publishes and waits (bounded) until the broker has it, then disconnects.
  void close_with(const std::string& topic, const std::string& payload);

 private:
  class Paho;  // Paho's client and what is kept for it
  std::unique_ptr<Paho> paho_;
};

}  // namespace gateway

#endif  // BRIMTALLY_GATEWAY_MQTT_LINK_H
