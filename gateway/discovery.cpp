// SPDX-License-Identifier: MIT
#include "discovery.h"

#include <algorithm>

namespace gateway {

namespace {

constexpr const char* kSensors[] = {"AnalogIn0", "AnalogIn1", "AnalogIn2", "AnalogIn3",
                                    "AnalogIn4", "AnalogIn5", "Frequency", "Totalizer"};
constexpr int kDigitalInputs = 8;

}  // namespace

DiscoveryDevice::DiscoveryDevice(const std::string& base_topic, const std::string& line,
                                 const std::string& module)
    : id("brimtally_" + line + "_" + module),
      state(base_topic + "/" + line + "/" + module),
      device({{"identifiers", {id}},
              {"name", line + " " + module},
              {"manufacturer", "Brimtally"},
              {"model", "I/O module"}}),
      // Home Assistant shows the value only while the line and the module are up.
      availability({{{"topic", base_topic + "/" + line + "/state"}},
                    {{"topic", state + "/availability"}}}) {}

toolkit::Json DiscoveryDevice::entity(const std::string& object, const std::string& name) const {
  return toolkit::Json{{"name", name},
                       {"unique_id", id + "_" + object},
                       {"object_id", id + "_" + object},
                       {"availability", availability},
                       {"availability_mode", "all"},
                       {"device", device}};
}

std::string DiscoveryDevice::topic(const std::string& component, const std::string& object) const {
  return "homeassistant/" + component + "/" + id + "/" + object + "/config";
}

std::vector<DiscoveryMessage> discovery_messages(const std::string& base_topic,
                                                 const std::string& line,
                                                 const ModuleConfig& module,
                                                 const std::vector<std::string>& fields) {
  const DiscoveryDevice device(base_topic, line, module.name);
  auto polled = [&](const std::string& f) {
    return std::find(fields.begin(), fields.end(), f) != fields.end();
  };
  std::vector<DiscoveryMessage> out;
  for (const char* field : kSensors) {
    if (!polled(field)) continue;
    toolkit::Json config = device.entity(field, field);
    config["state_topic"] = device.state;
    config["value_template"] = std::string("{{ value_json.") + field + " }}";
    config["state_class"] = std::string(field) == "Totalizer" ? "total_increasing" : "measurement";
    if (std::string(field) == "Frequency") config["unit_of_measurement"] = "Hz";
    out.push_back({device.topic("sensor", field), config});
  }
  if (polled("DigitalIn")) {
    for (int bit = 0; bit < kDigitalInputs; ++bit) {
      const std::string object = "DigitalIn" + std::to_string(bit);
      toolkit::Json config = device.entity(object, "Digital input " + std::to_string(bit));
      config["state_topic"] = device.state;
      config["value_template"] = "{{ 'ON' if value_json.DigitalIn | int | bitwise_and(" +
                                 std::to_string(1 << bit) + ") else 'OFF' }}";
      out.push_back({device.topic("binary_sensor", object), config});
    }
  }
  for (DiscoveryMessage& message : control_messages(device, module, fields))
    out.push_back(std::move(message));
  return out;
}

}  // namespace gateway
