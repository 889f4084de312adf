// SPDX-License-Identifier: MIT
// The line: opening and losing the port, polling the modules, and whether
// each answers.
#include "gateway.h"
#include "status_words.h"

namespace gateway {

void Gateway::open_port() {
  const std::string why = port_.open();
  if (!why.empty()) {
    log_.fault("port", port_.label() + ": " + why + "; retrying with backoff");
    port_retry_at_ = Clock::now() + port_backoff_.next();
    return;
  }
  port_backoff_.reset();
  diagnostics_.port_opened();
  log_.cleared("port", port_.label() + ": open again");
  const Clock::time_point now = Clock::now();
  for (ModuleState& module : modules_) module.next_due = now;
  tell_status();
}

void Gateway::lose_port(const std::string& why) {
  port_.close();
  while (!settings_.empty()) {
    const PendingSet pending = settings_.pop();
    answer(pending.module->topic + "/response", pending.request, BT_NO_PORT,
           port_.label() + " was lost; nothing sent");
  }
  log_.fault("port", port_.label() + ": " + why + "; reopening with backoff");
  port_retry_at_ = Clock::now() + port_backoff_.next();
  for (ModuleState& module : modules_) {
    module.failures_in_row = 0;
    answer_get(module, BT_NO_PORT, port_.label() + " was lost");
    if (module.online) {
      module.online = false;
      publish_availability(module);
    }
  }
  tell_status();
}

void Gateway::poll(ModuleState& module) {
  const Clock::time_point start = Clock::now();
  diagnostics_.poll_started(module.last_start, start);
  module.last_start = start;
  // Polls keep their phase: one that a setting made late does not push every
  // later one back, so a module's polls stay an interval apart give or take
  // the one step it waited for. A poll ahead of time (a get, a setting's) or
  // a whole interval behind starts the schedule afresh.
  const auto interval = std::chrono::duration_cast<Clock::duration>(
      std::chrono::duration<double>(module.config.interval));
  const Clock::time_point in_phase = module.next_due + interval;
  module.next_due = module.next_due > start || in_phase <= start ? start + interval : in_phase;
  toolkit::Json values = toolkit::Json::object();
  int16_t status = BT_OK;
  const toolkit::Query* failed_query = nullptr;
  ModuleRecord record{};
  for (const toolkit::Query* query : module.queries) {
    status = port_.query(*query, module.config.address, record);
    if (status != BT_OK) {
      failed_query = query;
      break;
    }
    values.update(toolkit::record_fields(record, query->fields));
  }
  const auto read_at = std::chrono::system_clock::now();
  diagnostics_.busy(Clock::now() - start);
  module.last_poll = utc_time(read_at);
  ++module.polls;
  const std::string key = "module " + module.config.name;
  if (failed_query != nullptr) {
    ++module.failed;
    if (status == BT_NO_REPLY && port_.device_gone()) {
      lose_port("the device stopped working (unplugged or closed at the far end)");
      return;
    }
    const std::string echo = status == BT_NO_REPLY ? toolkit::echo_fault() : std::string();
    const std::string what =
        std::string(failed_query->name) + " at address " + module.config.address + " failed: " +
        (!echo.empty()           ? echo
         : status == BT_NO_REPLY ? toolkit::status_words(status) + " within " +
                                       std::to_string(record.ReplyTimeout) + " ms"
                                 : toolkit::status_words(status));
    log_.fault(key, module.topic + ": " + what);
    answer_get(module, status, what);
    if (++module.failures_in_row >= kFailuresOffline && module.online) {
      module.online = false;
      publish_availability(module);
    }
    return;
  }
  module.failures_in_row = 0;
  log_.cleared(key, module.topic + ": answering again");
  module.values = std::move(values);
  module.read_time = module.last_poll;
  publish_state(module, module.get_asked);
  if (module.get_asked) answer_get(module, BT_OK, "");
  if (!module.online) {
    module.online = true;
    publish_availability(module);
  }
}

}  // namespace gateway
