// SPDX-License-Identifier: MIT
#include "discovery.h"

#include <algorithm>

namespace gateway {

namespace {

constexpr const char* kSensors[] = {"AnalogIn0", "AnalogIn1", "AnalogIn2", "AnalogIn3",
                                    "AnalogIn4", "AnalogIn5", "Frequency", "Totalizer"};
constexpr int kDigitalInputs = 8;

}  // namespace

std::vector<DiscoveryMessage> discovery_messages(const std::string& base_topic,
                                                 const std::string& line, const std::string& module,
                                                 const std::vector<std::string>& fields) {
  const std::string device_id = "brimtally_" + line + "_" + module;
  const std::string state = base_topic + "/" + line + "/" + module;
  const toolkit::Json device = {{"identifiers", {device_id}},
                                {"name", line + " " + module},
                                {"manufacturer", "Brimtally"},
                                {"model", "I/O module"}};
  // Home Assistant shows the value only while the line and the module are up.
  const toolkit::Json availability = {{{"topic", base_topic + "/" + line + "/state"}},
                                      {{"topic", state + "/availability"}}};
  auto base = [&](const std::string& object, const std::string& name) {
    return toolkit::Json{{"name", name},
                         {"unique_id", device_id + "_" + object},
                         {"object_id", device_id + "_" + object},
                         {"state_topic", state},
                         {"availability", availability},
                         {"availability_mode", "all"},
                         {"device", device}};
  };
  auto polled = [&](const std::string& f) {
    return std::find(fields.begin(), fields.end(), f) != fields.end();
  };
  std::vector<DiscoveryMessage> out;
  for (const char* field : kSensors) {
    if (!polled(field)) continue;
    toolkit::Json config = base(field, field);
    config["value_template"] = std::string("{{ value_json.") + field + " }}";
    config["state_class"] = std::string(field) == "Totalizer" ? "total_increasing" : "measurement";
    if (std::string(field) == "Frequency") config["unit_of_measurement"] = "Hz";
    out.push_back({"homeassistant/sensor/" + device_id + "/" + field + "/config", config});
  }
  if (polled("DigitalIn")) {
    for (int bit = 0; bit < kDigitalInputs; ++bit) {
      const std::string object = "DigitalIn" + std::to_string(bit);
      toolkit::Json config = base(object, "Digital input " + std::to_string(bit));
      config["value_template"] = "{{ 'ON' if value_json.DigitalIn | int | bitwise_and(" +
                                 std::to_string(1 << bit) + ") else 'OFF' }}";
      out.push_back(
          {"homeassistant/binary_sensor/" + device_id + "/" + object + "/config", config});
    }
  }
  return out;
}

}  // namespace gateway
