// SPDX-License-Identifier: MIT
#include "topic_grammar.h"

#include <cstdint>

namespace gateway {

RequestTopic parse_request_topic(const std::string& line_topic, const std::string& topic) {
  RequestTopic out;
  if (topic.rfind(line_topic + "/", 0) != 0) return out;
  const std::string rest = topic.substr(line_topic.size() + 1);
  const size_t slash = rest.find('/');
  if (slash == std::string::npos || slash == 0) return out;
  out.module = rest.substr(0, slash);
  const std::string action = rest.substr(slash + 1);
  if (action == "get") {
    out.kind = RequestTopic::Kind::kGet;
  } else if (action.rfind("set/", 0) == 0 && action.size() > 4) {
    out.kind = RequestTopic::Kind::kSet;
    out.setting = action.substr(4);
  }
  return out;
}

std::vector<std::string> request_filters(const std::string& line_topic) {
  return {line_topic + "/+/set/+", line_topic + "/+/set/+/+", line_topic + "/+/get"};
}

bool valid_base_topic(const std::string& topic) {
  if (topic.empty() || topic.front() == '/' || topic.back() == '/') return false;
  if (topic.find("//") != std::string::npos) return false;
  return topic.find_first_of("+#") == std::string::npos && topic.find('\0') == std::string::npos;
}

bool mqtt_utf8(const std::string& text) {
  for (size_t i = 0; i < text.size();) {
    const auto byte = static_cast<uint8_t>(text[i]);
    size_t length = 1;
    uint32_t code = byte;
    if (byte >= 0xF0 && byte <= 0xF4) {
      length = 4;
      code = byte & 0x07;
    } else if (byte >= 0xE0) {
      length = byte <= 0xEF ? 3 : 0;
      code = byte & 0x0F;
    } else if (byte >= 0xC2) {
      length = 2;
      code = byte & 0x1F;
    } else if (byte >= 0x80) {
      length = 0;  // a continuation byte, or a start that can only be overlong
    }
    if (length == 0 || i + length > text.size()) return false;
    for (size_t k = 1; k < length; ++k) {
      const auto next = static_cast<uint8_t>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = (code << 6) | (next & 0x3F);
    }
    const uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < smallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
      return false;
    }
    if (code < 0x20 || (code >= 0x7F && code <= 0x9F)) return false;
    i += length;
  }
  return true;
}

std::string topic_name_fault(const std::string& topic) {
  if (topic.empty()) return "is empty";
  if (topic.size() > kLongestResponseTopic) {
    return "is " + std::to_string(topic.size()) + " bytes long; at most " +
           std::to_string(kLongestResponseTopic) + " are taken";
  }
  if (topic.find_first_of("+#") != std::string::npos) {
    return "holds a wildcard ('+' or '#'); a message can only be published to a topic name";
  }
  if (!mqtt_utf8(topic)) return "is not UTF-8 text without control characters";
  return "";
}

}  // namespace gateway
