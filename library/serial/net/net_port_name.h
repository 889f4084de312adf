// SPDX-License-Identifier: MIT
// Port names that reach a serial line over the network: "rfc2217://HOST:PORT"
// (a telnet session with serial-port control) and "tcp://HOST:PORT" (the
// line's bytes as they are).
#ifndef BRIMTALLY_SERIAL_NET_PORT_NAME_H
#define BRIMTALLY_SERIAL_NET_PORT_NAME_H

#include <cstdint>

namespace bt {

enum class NetScheme : uint8_t { kRfc2217, kRawTcp };

struct NetPortName {
  NetScheme scheme;
  char host[256];  // a name or an address; an IPv6 address without its brackets
  uint16_t port;
};

enum class NameParse { kNotNetwork, kMalformed, kParsed };

// kNotNetwork for a name without one of the two prefixes (a device path);
// kMalformed when the prefix is there but host or port is missing, empty,
// out of range or followed by anything else.
NameParse parse_net_port_name(const char* text, NetPortName& name);

}  // namespace bt

#endif  // BRIMTALLY_SERIAL_NET_PORT_NAME_H
