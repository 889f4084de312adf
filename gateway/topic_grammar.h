// SPDX-License-Identifier: MIT
// The topics the gateway takes requests on, <line>/<module>/get,
// <line>/<module>/set/<setting> and <line>/<module>/set/<setting>/<part>, and the rule for a topic
// it is asked to publish to (an MQTT 5 response topic): a broker drops a client that publishes to a
// wildcard or to text that is not UTF-8, so such a topic is refused before anything is done for the
// request. Also what a configured base topic may be.
#ifndef BRIMTALLY_GATEWAY_TOPIC_GRAMMAR_H
#define BRIMTALLY_GATEWAY_TOPIC_GRAMMAR_H

#include <string>
#include <vector>

namespace gateway {

struct RequestTopic {
  enum class Kind { kNone, kGet, kSet };
  Kind kind = Kind::kNone;
  std::string module;
  std::string setting;  // kSet: a setting, or a control such as "digital-out/3"
};

RequestTopic parse_request_topic(const std::string& line_topic, const std::string& topic);
// The subscriptions that bring in every request topic of the line.
std::vector<std::string> request_filters(const std::string& line_topic);

// Whether `topic` can stand before the line's name: topic levels, none
// empty, without wildcards or NUL.
bool valid_base_topic(const std::string& topic);

// The longest topic the gateway publishes to on a requester's behalf.
inline constexpr size_t kLongestResponseTopic = 4096;

// "" when a message may be published to `topic`; else what is wrong.
std::string topic_name_fault(const std::string& topic);

// Whether `text` is UTF-8 as MQTT takes it: well formed, no NUL and no
// control characters.
bool mqtt_utf8(const std::string& text);

}  // namespace gateway

#endif  // BRIMTALLY_GATEWAY_TOPIC_GRAMMAR_H
