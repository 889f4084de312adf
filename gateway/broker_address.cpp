// SPDX-License-Identifier: MIT
#include "broker_address.h"

#include <algorithm>

namespace gateway {

BrokerAddress parse_broker(const std::string& url) {
  BrokerAddress out;
  out.tls = url.rfind("mqtts://", 0) == 0;
  if (!out.tls && url.rfind("mqtt://", 0) != 0) {
    out.fault = "must be mqtt://HOST[:PORT] or mqtts://HOST[:PORT]";
    return out;
  }
  std::string rest = url.substr(out.tls ? 8 : 7);
  if (!rest.empty() && rest.back() == '/') rest.pop_back();
  std::string port_text;
  bool has_port = false;
  if (!rest.empty() && rest.front() == '[') {
    const size_t close = rest.find(']');
    if (close == std::string::npos) {
      out.fault = "has an IPv6 address without its closing ']'";
      return out;
    }
    out.host = rest.substr(1, close - 1);
    rest.erase(0, close + 1);
    if (!rest.empty() && rest.front() != ':') {
      out.fault = "has text after the IPv6 address; give [ADDRESS]:PORT";
      return out;
    }
    has_port = !rest.empty();
    if (has_port) port_text = rest.substr(1);
  } else {
    const size_t colon = rest.find(':');
    out.host = rest.substr(0, colon);
    has_port = colon != std::string::npos;
    if (has_port) port_text = rest.substr(colon + 1);
  }
  if (out.host.empty()) {
    out.fault = "names no host";
    return out;
  }
  if (out.host.find_first_of("/?#@ ") != std::string::npos) {
    out.fault = "has a host name with '/', '?', '#', '@' or a blank: give only HOST[:PORT]";
    return out;
  }
  out.port = out.tls ? 8883 : 1883;
  if (!has_port) return out;
  const bool digits =
      !port_text.empty() && port_text.size() <= 5 &&
      std::all_of(port_text.begin(), port_text.end(), [](char c) { return c >= '0' && c <= '9'; });
  const int port = digits ? std::stoi(port_text) : 0;
  if (port < 1 || port > 65535) {
    out.fault = "has the port \"" + port_text + "\"; a port is a number from 1 to 65535";
    return out;
  }
  out.port = port;
  return out;
}

std::string paho_uri(const BrokerAddress& broker) {
  const bool v6 = broker.host.find(':') != std::string::npos;
  const std::string host = v6 ? "[" + broker.host + "]" : broker.host;
  return (broker.tls ? "ssl://" : "tcp://") + host + ":" + std::to_string(broker.port);
}

}  // namespace gateway
