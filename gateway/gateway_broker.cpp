// SPDX-License-Identifier: MIT
// The broker's connection events: each attempt, its outcome, and the end of
// a connection, logged once and told to systemd as the service's status.
#include <cstdio>

#include "gateway.h"

namespace gateway {

namespace {

std::string seconds_text(std::chrono::milliseconds wait) {
  char text[32];
  std::snprintf(text, sizeof text, "%g s", static_cast<double>(wait.count()) / 1000);
  return text;
}

}  // namespace

void Gateway::connect_broker() {
  broker_.attempting(Clock::now());
  link_.connect();
}

void Gateway::tell_status() {
  const std::string line = std::to_string(modules_.size()) + " module(s) on " + port_.label() +
                           (port_.is_open() ? "" : " (port not open)");
  if (broker_.connected()) {
    notify_.status("connected to " + config_.mqtt.broker + "; polling " + line);
  } else {
    notify_.status("reconnecting to " + config_.mqtt.broker + " (" + broker_trouble_ +
                   "); polling " + line);
  }
}

void Gateway::on_broker_ended(const Letter& letter) {
  const bool lost = letter.kind == Letter::Kind::kConnectionLost;
  link_.down();
  const std::chrono::milliseconds wait = broker_.ended(Clock::now(), letter.login_refused);
  broker_trouble_ = letter.text;
  std::string message;
  if (letter.login_refused) {
    message = "the broker " + config_.mqtt.broker + " refused the login" +
              (config_.mqtt.username.empty() ? std::string()
                                             : " of user \"" + config_.mqtt.username + "\"") +
              " (" + letter.text +
              "): check username, password_file and the broker's users; retrying every 30 s "
              "to 5 min, since only a fix on either side helps";
  } else if (lost) {
    message = "lost the broker " + config_.mqtt.broker + ": " + letter.text;
    // A broker may drop a client without saying why, as mosquitto does when
    // another client takes its session.
    if (letter.code == 0 || letter.code == 0x8E) {
      message += letter.code == 0
                     ? " (the broker went away, the network failed, or another client "
                       "connected with this gateway's client id " +
                           client_id_ + ")"
                     : "; another client connected with this gateway's client id " + client_id_;
    }
    message += "; reconnecting in " + seconds_text(wait);
  } else if (letter.code == 1 && letter.text.find("3.1.1") != std::string::npos) {
    message = letter.text;
  } else {
    message = "cannot connect to the broker " + config_.mqtt.broker + ": " + letter.text +
              "; retrying with backoff (0.5 s, doubling to 30 s)";
  }
  // Said once: a broker that stays away is not news again until it is back.
  log_.fault("broker", message);
  tell_status();
}

void Gateway::on_connected(bool resumed) {
  broker_.up(Clock::now());
  link_.up();
  diagnostics_.broker_connected();
  const std::string connected = "connected to the broker " + config_.mqtt.broker + " as " +
                                line_topic_ + (resumed ? " (session resumed)" : "");
  if (!log_.cleared("broker", connected)) log_.info(connected);
  tell_status();
  link_.subscribe();
  // A broker without persistence has lost everything retained: all again.
  link_.publish(line_topic_ + "/state", "online", true);
  for (ModuleState& module : modules_) {
    publish_availability(module);
    if (!module.values.is_null()) publish_state(module, true);
  }
  if (config_.mqtt.homeassistant) publish_discovery();
  publish_diagnostics();
  // Then the responses that fell due while we were away.
  link_.send_kept();
}

}  // namespace gateway
