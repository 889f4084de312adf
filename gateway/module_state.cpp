// SPDX-License-Identifier: MIT
#include "module_state.h"

#include <algorithm>
#include <ctime>

namespace gateway {

ModuleState::ModuleState(const ModuleConfig& module, const std::string& line_topic)
    : config(module), topic(line_topic + "/" + module.name), pwm(module.pwm) {
  for (const std::string& name : module.poll) {
    const toolkit::Query* query = toolkit::find_query(name);
    queries.push_back(query);
    for (std::string_view field : query->fields) {
      if (std::find(fields.begin(), fields.end(), field) == fields.end())
        fields.emplace_back(field);
    }
  }
}

toolkit::Json ModuleState::state() const {
  toolkit::Json out = values;
  out["time"] = read_time;
  return out;
}

std::string utc_time(std::chrono::system_clock::time_point when) {
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch());
  const std::time_t seconds = static_cast<std::time_t>(ms.count() / 1000);
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char text[40];
  const size_t n = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
  std::snprintf(text + n, sizeof text - n, ".%03dZ", static_cast<int>(ms.count() % 1000));
  return text;
}

}  // namespace gateway
