// SPDX-License-Identifier: MIT
// The broker's address as the configuration gives it, mqtt://HOST[:PORT] or
// mqtts://HOST[:PORT], read once for the configuration check, for Paho and
// for telling why a connection failed.
#ifndef BRIMTALLY_GATEWAY_BROKER_ADDRESS_H
#define BRIMTALLY_GATEWAY_BROKER_ADDRESS_H

#include <string>

namespace gateway {

struct BrokerAddress {
  bool tls = false;
  std::string host;  // without the brackets of an IPv6 address
  int port = 0;
  std::string fault;  // why the text is no broker address; "" when it is one
};

BrokerAddress parse_broker(const std::string& url);

// As Paho names it: "tcp://HOST:PORT" or "ssl://HOST:PORT".
std::string paho_uri(const BrokerAddress& broker);

}  // namespace gateway

#endif  // BRIMTALLY_GATEWAY_BROKER_ADDRESS_H
