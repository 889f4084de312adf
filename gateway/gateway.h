// SPDX-License-Identifier: MIT
// The gateway's main loop: one thread owns the serial line and takes the
// broker's letters between transactions, so a setting never cuts into a poll
// and every publish reflects what was just read.
#ifndef BRIMTALLY_GATEWAY_GATEWAY_H
#define BRIMTALLY_GATEWAY_GATEWAY_H

#include <chrono>
#include <deque>
#include <string>
#include <vector>

#include "broker_session.h"
#include "diagnostics.h"
#include "event_log.h"
#include "gateway_config.h"
#include "line_port.h"
#include "mailbox.h"
#include "module_state.h"
#include "mqtt_link.h"
#include "service_notify.h"
#include "set_request.h"
#include "settings_queue.h"

namespace gateway {

class Gateway {
 public:
  Gateway(const Config& config, const std::string& password, Mailbox& mailbox);
  // Runs until a stop letter; the exit status.
  int run();

 private:
  // The loop and its wake-ups (gateway.cpp).
  void handle(const Letter& letter);
  bool settings_turn(Clock::time_point now) const;
  Clock::time_point next_wake(Clock::time_point now) const;

  // The broker's connection events (gateway_broker.cpp).
  void connect_broker();
  void on_connected(bool resumed);
  void on_broker_ended(const Letter& letter);
  void tell_status();

  // Requests from the broker: gets, and settings with read-back
  // (gateway_requests.cpp).
  void handle_message(const Letter& letter);
  void handle_get(ModuleState& module, const SetRequest& request);
  void answer_get(ModuleState& module, int16_t status, const std::string& text);
  void apply(PendingSet& pending);
  void answer(const std::string& topic, const SetRequest& request, int status,
              const std::string& text, const toolkit::Json& confirmed = toolkit::Json());
  ModuleState* find_module(const std::string& name);

  // Controls, one part of a setting each, and reading back what was set
  // (gateway_controls.cpp).
  void check_control(const ModuleState& module, const SetRequest& request) const;
  int fill_control(ModuleState& module, SetRequest& request, std::string& why);
  toolkit::Json read_back(ModuleState& module, const SetRequest& request);

  // The line: the port, its loss, and polls (gateway_polling.cpp).
  void open_port();
  void lose_port(const std::string& why);
  void poll(ModuleState& module);

  // What is published of the line (gateway_publishing.cpp).
  void publish_state(ModuleState& module, bool force);
  void publish_availability(const ModuleState& module);
  void publish_discovery();
  void publish_diagnostics();

  Config config_;
  std::string line_topic_;
  std::string client_id_;
  EventLog log_;
  Mailbox& mailbox_;
  MqttLink link_;
  LinePort port_;
  ServiceNotify notify_;
  std::deque<ModuleState> modules_;
  SettingsQueue settings_;
  // When the last setting ended: a due module not polled since goes first.
  Clock::time_point last_setting_end_{};

  bool stopping_ = false;
  BrokerSession broker_;
  std::string broker_trouble_;  // why the broker is not connected, for STATUS=
  Backoff port_backoff_{std::chrono::milliseconds(500), std::chrono::seconds(10)};
  Clock::time_point port_retry_at_{};

  Diagnostics diagnostics_;
};

// The client id of a line's gateway on this host: unique per line and host,
// the same from one start to the next, so the broker's session for it lasts.
std::string client_id(const Config& config);

}  // namespace gateway

#endif  // BRIMTALLY_GATEWAY_GATEWAY_H
