// The gateway's main loop: one thread owns the serial line and takes the
// broker's letters between transactions, so a setting never cuts into a poll
// and every publish reflects what was just read.
#ifndef BRIMTALLY_GATEWAY_GATEWAY_H
#define BRIMTALLY_GATEWAY_GATEWAY_H

#include <chrono>
#include <deque>
#include <string>
#include <vector>

#include "event_log.h"
#include "gateway_config.h"
#include "line_port.h"
#include "mailbox.h"
#include "module_state.h"
#include "mqtt_link.h"
#include "service_notify.h"
#include "set_request.h"

namespace gateway {

// Waits that double after each failure, from `first` up to `longest`.
class Backoff {
 public:
  Backoff(std::chrono::milliseconds first, std::chrono::milliseconds longest)
      : first_(first), longest_(longest), next_(first) {}
  std::chrono::milliseconds next() {
    const auto wait = next_;
    next_ = std::min(next_ * 2, longest_);
    return wait;
  }
  void reset() { next_ = first_; }

 private:
  std::chrono::milliseconds first_, longest_, next_;
};

class Gateway {
 public:
  Gateway(const Config& config, const std::string& password, Mailbox& mailbox);
  // Runs until a stop letter; the exit status.
  int run();

 private:
  struct PendingSet {
    SetRequest request;
    ModuleState* module;
  };

  void handle(const Letter& letter);
  void handle_message(const Letter& letter);
  void on_connected();
  void retry_broker();
  void open_port();
  void lose_port(const std::string& why);
  void poll(ModuleState& module);
  void apply(PendingSet& pending);
  void answer(const std::string& topic, const SetRequest& request, int status,
              const std::string& text, const cli::Json& confirmed = cli::Json());
  void publish_state(ModuleState& module, bool force);
  void publish_availability(const ModuleState& module);
  void publish_discovery();
  void publish_diagnostics();
  ModuleState* find_module(const std::string& name);
  Clock::time_point next_wake(Clock::time_point now) const;

  Config config_;
  std::string line_topic_;
  EventLog log_;
  Mailbox& mailbox_;
  MqttLink link_;
  LinePort port_;
  ServiceNotify notify_;
  std::deque<ModuleState> modules_;
  std::deque<PendingSet> pending_;

  bool stopping_ = false;
  bool connecting_ = false;
  bool ever_connected_ = false;
  bool ever_opened_ = false;
  Backoff broker_backoff_{std::chrono::milliseconds(500), std::chrono::seconds(30)};
  Backoff port_backoff_{std::chrono::milliseconds(500), std::chrono::seconds(10)};
  Clock::time_point broker_retry_at_{};
  Clock::time_point port_retry_at_{};

  // Diagnostics: counts since start, and times over the current window.
  uint64_t broker_reconnects_ = 0;
  uint64_t port_reconnects_ = 0;
  Clock::time_point window_start_;
  Clock::duration busy_{};
  Clock::duration cycle_sum_{};
  uint64_t cycles_ = 0;
  Clock::time_point diagnostics_due_;
};

}  // namespace gateway

#endif  // BRIMTALLY_GATEWAY_GATEWAY_H
