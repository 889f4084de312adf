// SPDX-License-Identifier: MIT
// The gateway's configuration file: one serial line, its modules, and the
// broker they are published to. Every fault is reported with its key and
// line, so one run of --check-config shows them all.
#ifndef BRIMTALLY_GATEWAY_CONFIG_H
#define BRIMTALLY_GATEWAY_CONFIG_H

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace gateway {

struct MqttConfig {
  std::string broker = "mqtt://127.0.0.1:1883";
  std::string base_topic = "brimtally";
  int keepalive = 30;   // seconds
  double refresh = 60;  // seconds; 0: publish the state after every poll
  bool homeassistant = false;
  std::string username;  // empty: no login
  std::string password_file;
  std::string ca_file;
  // A client certificate and its key (mqtts:// only), for brokers that
  // take the certificate as the login.
  std::string cert_file;
  std::string key_file;
  // Seconds the broker keeps our session, and the requests for us, while we
  // are away (MQTT 5).
  int session_expiry = 30;
};

struct LineConfig {
  std::string name;
  std::string port;  // as the tool's --port takes it
  unsigned baud = 9600;
};

struct ModuleConfig {
  std::string name;
  std::string address;
  std::vector<std::string> poll;      // the tool's query names
  double interval = 1.0;              // seconds between polls
  int direction = -1;                 // the port directions as wired (bit 1 = input); -1: not given
  std::vector<std::string> controls;  // the controls discovery advertises, by name
  // The module's PWM period and percent until the gateway sends one: the
  // module does not report it, and one half is never sent without the other.
  std::optional<std::pair<int32_t, int32_t>> pwm;
};

struct Config {
  MqttConfig mqtt;
  LineConfig line;
  std::vector<ModuleConfig> modules;
};

// One fault: "FILE:LINE: KEY: what is wrong".
struct ConfigFault {
  std::string key;
  int line = 0;
  std::string what;
};

struct LoadedConfig {
  Config config;
  std::vector<ConfigFault> faults;  // empty: the configuration can be used
};

LoadedConfig load_config(const std::string& path);

// Letters, digits, '-' and '_', at least one: safe as one topic level.
bool valid_segment(const std::string& name);

}  // namespace gateway

#endif  // BRIMTALLY_GATEWAY_CONFIG_H
