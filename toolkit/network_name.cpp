// SPDX-License-Identifier: MIT
#include "network_name.h"

#include <strings.h>

#include <algorithm>
#include <cstdio>

namespace toolkit {

namespace {

bool host_character(char c, bool bracketed) {
  const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                     c == '.' || c == '-' || c == '_' || c == '%';
  return plain || (c == ':' && bracketed);  // a colon belongs to an address in brackets only
}

}  // namespace

bool looks_like_network_name(const std::string& value) {
  const size_t scheme_end = value.find("://");
  // The scheme comes before any other '/': "./a://b" is a path.
  return scheme_end != std::string::npos && scheme_end > 0 && value.find('/') == scheme_end + 1;
}

bool parse_network_name(const std::string& value, NetworkName& name, std::string& why) {
  const size_t scheme_end = value.find("://");
  const std::string scheme = value.substr(0, scheme_end == std::string::npos ? 0 : scheme_end);
  if (strcasecmp(scheme.c_str(), "rfc2217") != 0 && strcasecmp(scheme.c_str(), "tcp") != 0) {
    why = "the tool knows rfc2217:// and tcp:// servers only";
    return false;
  }
  name.rfc2217 = strcasecmp(scheme.c_str(), "rfc2217") == 0;
  const std::string rest = value.substr(scheme_end + 3);
  const bool bracketed = !rest.empty() && rest.front() == '[';
  const size_t host_end = bracketed ? rest.find(']') : rest.rfind(':');
  if (bracketed && host_end == std::string::npos) {
    why = "an IPv6 address needs its closing bracket";
    return false;
  }
  const size_t colon = bracketed ? host_end + 1 : host_end;
  if (colon >= rest.size() || rest[colon] != ':') {
    why = "no port number after the host";
    return false;
  }
  name.host = bracketed ? rest.substr(1, host_end - 1) : rest.substr(0, host_end);
  name.port = rest.substr(colon + 1);
  if (name.host.empty() || name.host.size() > 255) {
    why = name.host.empty() ? "no host before the port number" : "the host name is too long";
    return false;
  }
  if (!std::all_of(name.host.begin(), name.host.end(),
                   [&](char c) { return host_character(c, bracketed); })) {
    why = "the host holds a character no host name or address has";
    return false;
  }
  const bool digits = !name.port.empty() && name.port.size() <= 5 &&
                      name.port.find_first_not_of("0123456789") == std::string::npos;
  if (!digits || std::stol(name.port) < 1 || std::stol(name.port) > 65535) {
    why = "the port number must be 1 to 65535";
    return false;
  }
  return true;
}

std::string shown_value(const std::string& value) {
  constexpr size_t kLongest = 80;  // an error line stays one readable line
  if (value.size() > kLongest) return shown_value(value.substr(0, kLongest - 20)) + "...";
  const bool plain = !value.empty() && std::all_of(value.begin(), value.end(), [](char c) {
    return c > ' ' && c <= '~' && c != '\'';
  });
  if (plain) return value;
  std::string text = "'";
  for (char c : value) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= ' ' && byte <= '~' && c != '\'' && c != '\\') {
      text += c;
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
      text += escaped;
    }
  }
  return text + "'";
}

}  // namespace toolkit
