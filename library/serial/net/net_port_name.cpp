// SPDX-License-Identifier: MIT
// Parsing network port names.
#include "serial/net/net_port_name.h"

#include <cstring>

namespace bt {

namespace {

struct Prefix {
  const char* text;
  NetScheme scheme;
};

constexpr Prefix kPrefixes[] = {{"rfc2217://", NetScheme::kRfc2217},
                                {"tcp://", NetScheme::kRawTcp}};

// Case-insensitive, as URL schemes are; no locale call sees the text.
bool starts_with(const char* text, const char* prefix) {
  for (; *prefix != '\0'; ++text, ++prefix) {
    const char c = *text >= 'A' && *text <= 'Z' ? static_cast<char>(*text + ('a' - 'A')) : *text;
    if (c != *prefix) return false;
  }
  return true;
}

// Decimal 1..65535, nothing after it.
bool parse_port(const char* text, uint16_t& port) {
  if (*text == '\0') return false;
  uint32_t value = 0;
  for (; *text != '\0'; ++text) {
    if (*text < '0' || *text > '9') return false;
    value = value * 10 + static_cast<uint32_t>(*text - '0');
    if (value > 65535) return false;
  }
  if (value == 0) return false;
  port = static_cast<uint16_t>(value);
  return true;
}

bool host_character(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
         c == '-' || c == '_' || c == ':' || c == '%';
}

bool store_host(const char* begin, const char* end, bool bracketed, NetPortName& name) {
  const size_t length = static_cast<size_t>(end - begin);
  if (length == 0 || length >= sizeof name.host) return false;
  for (const char* c = begin; c != end; ++c) {
    // A colon belongs to an address only inside brackets.
    if (!host_character(*c) || (*c == ':' && !bracketed)) return false;
  }
  std::memcpy(name.host, begin, length);
  name.host[length] = '\0';
  return true;
}

}  // namespace

NameParse parse_net_port_name(const char* text, NetPortName& name) {
  if (text == nullptr) return NameParse::kNotNetwork;
  const Prefix* prefix = nullptr;
  for (const Prefix& p : kPrefixes) {
    if (starts_with(text, p.text)) prefix = &p;
  }
  if (prefix == nullptr) return NameParse::kNotNetwork;
  name.scheme = prefix->scheme;
  const char* host = text + std::strlen(prefix->text);

  const char* host_end = nullptr;
  const char* after_host = nullptr;
  const bool bracketed = *host == '[';
  if (bracketed) {
    host_end = std::strchr(host, ']');
    if (host_end == nullptr) return NameParse::kMalformed;
    ++host;
    after_host = host_end + 1;
  } else {
    host_end = std::strrchr(host, ':');
    if (host_end == nullptr) return NameParse::kMalformed;
    after_host = host_end;
  }
  if (*after_host != ':' || !store_host(host, host_end, bracketed, name) ||
      !parse_port(after_host + 1, name.port)) {
    return NameParse::kMalformed;
  }
  return NameParse::kParsed;
}

}  // namespace bt
