// SPDX-License-Identifier: MIT
// Reading the options after a port name's "?".
#include "serial/port_options.h"

#include <cstdio>
#include <cstring>

#include "serial/serial_port.h"

namespace bt {

namespace {

constexpr const char kAll[] = "echo, rs485, rts-toggle, rts-before, rts-after, pause, drain";
constexpr int kLongestDelayMs = 1000;  // the kernel's RS-485 delays stop there too
constexpr int kLongestWaitMs = 10000;

enum OptionBit : unsigned {
  kEcho = 1u << 0,
  kRs485 = 1u << 1,
  kRtsToggle = 1u << 2,
  kRtsBefore = 1u << 3,
  kRtsAfter = 1u << 4,
  kPause = 1u << 5,
  kDrain = 1u << 6,
};

struct Option {
  const char* name;
  OptionBit bit;
  int PortOptions::*milliseconds;  // nullptr: a flag or a mode
  int longest;
};

constexpr Option kOptions[] = {
    {"echo", kEcho, nullptr, 0},
    {"rs485", kRs485, nullptr, 0},
    {"rts-toggle", kRtsToggle, nullptr, 0},
    {"rts-before", kRtsBefore, &PortOptions::rts_before_ms, kLongestDelayMs},
    {"rts-after", kRtsAfter, &PortOptions::rts_after_ms, kLongestDelayMs},
    {"pause", kPause, &PortOptions::pause_ms, kLongestWaitMs},
    {"drain", kDrain, &PortOptions::drain_ms, kLongestWaitMs},
};

// A piece of the name: [begin, end).
struct Span {
  const char* begin;
  const char* end;
  size_t size() const { return static_cast<size_t>(end - begin); }
  bool is(const char* text) const {
    return std::strlen(text) == size() && std::memcmp(begin, text, size()) == 0;
  }
};

int refuse(char* why, size_t why_size, const char* format, Span a, const char* b = "") {
  if (why != nullptr && why_size > 0) {
    std::snprintf(why, why_size, format, static_cast<int>(a.size()), a.begin, b);
  }
  return kInvalidPort;
}

int refuse(char* why, size_t why_size, const char* text) {
  if (why != nullptr && why_size > 0) std::snprintf(why, why_size, "%s", text);
  return kInvalidPort;
}

// Whole milliseconds in decimal digits, at most longest.
bool read_milliseconds(Span text, int longest, int& value) {
  if (text.size() == 0 || text.size() > 5) return false;
  int n = 0;
  for (const char* c = text.begin; c != text.end; ++c) {
    if (*c < '0' || *c > '9') return false;
    n = n * 10 + (*c - '0');
  }
  if (n > longest) return false;
  value = n;
  return true;
}

int read_option(Span item, PortOptions& options, unsigned& seen, char* why, size_t why_size) {
  const char* equals = static_cast<const char*>(std::memchr(item.begin, '=', item.size()));
  const Span key{item.begin, equals != nullptr ? equals : item.end};
  const Span value{equals != nullptr ? equals + 1 : item.end, item.end};
  const Option* option = nullptr;
  for (const Option& candidate : kOptions) {
    if (key.is(candidate.name)) option = &candidate;
  }
  if (option == nullptr) {
    return refuse(why, why_size, "unknown port option \"%.*s\" (the options are %s)", item, kAll);
  }
  if ((seen & option->bit) != 0) {
    return refuse(why, why_size, "port option \"%.*s\" is given twice", key);
  }
  seen |= option->bit;
  if (option->milliseconds != nullptr) {
    if (equals == nullptr ||
        !read_milliseconds(value, option->longest, options.*(option->milliseconds))) {
      char range[32];
      std::snprintf(range, sizeof range, "0 to %d", option->longest);
      return refuse(why, why_size, "port option \"%.*s\" takes milliseconds, %s", item, range);
    }
    return 0;
  }
  if (option->bit == kRs485) {
    if (equals == nullptr) {
      options.rs485 = Rs485Mode::kRtsOnSend;
      return 0;
    }
    if (value.is("rts-low")) {
      options.rs485 = Rs485Mode::kRtsLowSend;
      return 0;
    }
    return refuse(why, why_size, "port option \"%.*s\": rs485 takes no value, or rts-low", item);
  }
  if (equals != nullptr) {
    return refuse(why, why_size, "port option \"%.*s\" takes no value", item);
  }
  if (option->bit == kEcho) options.echo = true;
  if (option->bit == kRtsToggle) options.rts_toggle = true;
  return 0;
}

}  // namespace

const char* port_options_start(const char* name) {
  return name != nullptr ? std::strchr(name, '?') : nullptr;
}

int parse_port_options(const char* name, PortOptions& options, char* why, size_t why_size) {
  options = PortOptions{};
  if (why != nullptr && why_size > 0) why[0] = '\0';
  const char* start = port_options_start(name);
  if (start == nullptr || start[1] == '\0') return 0;
  unsigned seen = 0;
  for (const char* item = start + 1;;) {
    const char* end = std::strchr(item, '&');
    if (end == nullptr) end = item + std::strlen(item);
    const Span span{item, end};
    if (span.size() == 0) {
      return refuse(why, why_size, "an empty port option (two \"&\" together, or one at the end)");
    }
    if (const int result = read_option(span, options, seen, why, why_size); result != 0) {
      return result;
    }
    if (*end == '\0') break;
    item = end + 1;
  }
  if ((seen & kRs485) != 0 && (seen & kRtsToggle) != 0) {
    return refuse(why, why_size, "port options rs485 and rts-toggle exclude each other");
  }
  if ((seen & (kRtsBefore | kRtsAfter)) != 0 && (seen & (kRs485 | kRtsToggle)) == 0) {
    return refuse(why, why_size, "port options rts-before and rts-after need rs485 or rts-toggle");
  }
  return 0;
}

}  // namespace bt
