// SPDX-License-Identifier: MIT
// Home Assistant discovery: one retained config per polled value and per
// advertised control, so the module appears as one device, with its values
// to watch and its outputs to set, without hand-written YAML.
#ifndef BRIMTALLY_GATEWAY_DISCOVERY_H
#define BRIMTALLY_GATEWAY_DISCOVERY_H

#include <string>
#include <vector>

#include "gateway_config.h"
#include "record_fields.h"

namespace gateway {

// Home Assistant announces its start here: discovery goes out again then.
inline constexpr const char* kHomeAssistantStatus = "homeassistant/status";

// A null config goes out as an empty retained message: Home Assistant then
// removes what an earlier configuration had advertised.
struct DiscoveryMessage {
  std::string topic;
  toolkit::Json config;
};

// What every config of one module shares.
struct DiscoveryDevice {
  DiscoveryDevice(const std::string& base_topic, const std::string& line,
                  const std::string& module);
  // The config's common part: names, device block, availability.
  toolkit::Json entity(const std::string& object, const std::string& name) const;
  std::string topic(const std::string& component, const std::string& object) const;

  std::string id;     // brimtally_<line>_<module>
  std::string state;  // the module's state topic
  toolkit::Json device;
  toolkit::Json availability;
};

// Topics are the module's own (base/line/module); `fields` are the state's field names.
std::vector<DiscoveryMessage> discovery_messages(const std::string& base_topic,
                                                 const std::string& line,
                                                 const ModuleConfig& module,
                                                 const std::vector<std::string>& fields);

// The controls' configs (control_discovery.cpp): every control, null where
// the module's configuration does not advertise it.
std::vector<DiscoveryMessage> control_messages(const DiscoveryDevice& device,
                                               const ModuleConfig& module,
                                               const std::vector<std::string>& fields);

}  // namespace gateway

#endif  // BRIMTALLY_GATEWAY_DISCOVERY_H
