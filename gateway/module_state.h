// SPDX-License-Identifier: MIT
// What the gateway knows of one module: its queries, the values last read
// and published, whether it answers, and its poll counts.
#ifndef BRIMTALLY_GATEWAY_MODULE_STATE_H
#define BRIMTALLY_GATEWAY_MODULE_STATE_H

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "gateway_config.h"
#include "mailbox.h"
#include "queries.h"
#include "record_fields.h"

namespace gateway {

// Failed polls in a row after which a module is offline.
inline constexpr int kFailuresOffline = 3;
// MQTT 5 requesters of one module's get answered by one poll, at most.
inline constexpr size_t kGetRequesters = 16;

// Where an MQTT 5 requester wants its answer.
struct Requester {
  std::string topic;
  std::string correlation;
};

struct ModuleState {
  explicit ModuleState(const ModuleConfig& config, const std::string& line_topic);

  ModuleConfig config;
  std::vector<const toolkit::Query*> queries;
  std::vector<std::string> fields;  // of all its queries, in order, each once
  std::string topic;                // base/line/module

  toolkit::Json values;  // last read; null until the first good poll
  std::string read_time;
  toolkit::Json published;  // values last published
  Clock::time_point published_at{};
  bool online = false;
  int failures_in_row = 0;

  // A get asked for a poll now, whose state goes out changed or not, and
  // those who want it on their response topic.
  bool get_asked = false;
  std::vector<Requester> get_requesters;

  // The PWM period and percent last sent (or configured): the module does
  // not report them, and a control sets one half with the other kept.
  std::optional<std::pair<int32_t, int32_t>> pwm;

  Clock::time_point next_due{};
  Clock::time_point last_start{};
  uint64_t polls = 0;
  uint64_t failed = 0;
  std::string last_poll;  // time of the last poll, good or failed

  // The state message: the values and when they were read.
  toolkit::Json state() const;
};

// ISO 8601 in UTC with milliseconds: "2026-12-07T19:14:24.123Z".
std::string utc_time(std::chrono::system_clock::time_point when);

}  // namespace gateway

#endif  // BRIMTALLY_GATEWAY_MODULE_STATE_H
