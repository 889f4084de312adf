// SPDX-License-Identifier: MIT
// Names of a line behind a serial device server, rfc2217://HOST:PORT and
// tcp://HOST:PORT, read as the library reads them, so a name it would refuse
// is refused on the command line (and in the gateway's configuration) with
// the reason.
#ifndef BRIMTALLY_TOOLKIT_NETWORK_NAME_H
#define BRIMTALLY_TOOLKIT_NETWORK_NAME_H

#include <string>

namespace toolkit {

struct NetworkName {
  bool rfc2217 = false;  // else raw TCP
  std::string host;      // a name or an address; an IPv6 address without its brackets
  std::string port;      // decimal, 1 to 65535
};

// True when `value` starts with "SCHEME://": meant as a network name, right or wrong.
bool looks_like_network_name(const std::string& value);

// Reads rfc2217:// or tcp:// (either case) and HOST:PORT; false with `why`
// ("no host", "the port number must be 1 to 65535", ...) when it is no such name.
bool parse_network_name(const std::string& value, NetworkName& name, std::string& why);

// A value for an error line: as given, or quoted with its unprintable bytes
// as \xNN when it is empty or holds blanks or such bytes; a long one cut
// with "...".
std::string shown_value(const std::string& value);

}  // namespace toolkit

#endif  // BRIMTALLY_TOOLKIT_NETWORK_NAME_H
