// SPDX-License-Identifier: MIT
// Home Assistant discovery: one retained config per polled value, so the
// module's values appear as one device without hand-written YAML.
#ifndef BRIMTALLY_GATEWAY_DISCOVERY_H
#define BRIMTALLY_GATEWAY_DISCOVERY_H

#include <string>
#include <vector>

#include "gateway_config.h"
#include "record_fields.h"

namespace gateway {

// Home Assistant announces its start here: discovery goes out again then.
inline constexpr const char* kHomeAssistantStatus = "homeassistant/status";

struct DiscoveryMessage {
  std::string topic;
  toolkit::Json config;
};

// Topics are the module's own (base/line/module); `fields` are the state's field names.
std::vector<DiscoveryMessage> discovery_messages(const std::string& base_topic,
                                                 const std::string& line, const std::string& module,
                                                 const std::vector<std::string>& fields);

}  // namespace gateway

#endif  // BRIMTALLY_GATEWAY_DISCOVERY_H
