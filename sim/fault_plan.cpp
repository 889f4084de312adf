// SPDX-License-Identifier: MIT
// Reply faults: their settings, their dice and what they do to a reply.
#include "fault_plan.h"

#include <charconv>

#include "frame_codec.h"

namespace sim {

namespace {
std::optional<int> parse_int(std::string_view text, int lo, int hi) {
  int v = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size() || v < lo || v > hi)
    return std::nullopt;
  return v;
}
}  // namespace

bool FaultPlan::is_reply_fault(std::string_view kind) {
  if (kind == "delay") return true;
  for (auto k : kPercentFaults)
    if (kind == k) return true;
  return false;
}

std::optional<std::string> FaultPlan::configure(std::string_view kind, std::string_view arg,
                                                const std::string& address) {
  // A module keeps even a setting of 0, since it overrides the line's.
  Settings& target = address.empty() ? line_ : modules_[address];
  const bool keep_zero = !address.empty();
  if (kind == "off") {
    if (arg.empty()) {
      target.clear();
      return std::nullopt;
    }
    if (!is_reply_fault(arg)) return "unknown fault '" + std::string(arg) + "'";
    if (const auto it = target.find(arg); it != target.end()) target.erase(it);
    return std::nullopt;
  }
  std::optional<int> value;
  if (kind == "delay") {
    value = parse_int(arg, 0, 60000);
    if (!value) return "delay takes milliseconds, 0 to 60000";
  } else if (!is_reply_fault(kind)) {
    return "unknown fault '" + std::string(kind) + "'";
  } else {
    value = arg.empty() ? std::optional<int>(100) : parse_int(arg, 0, 100);
    if (!value) return std::string(kind) + " takes a percentage, 0 to 100";
  }
  if (*value == 0 && !keep_zero) {
    if (const auto it = target.find(kind); it != target.end()) target.erase(it);
  } else {
    target[std::string(kind)] = *value;
  }
  return std::nullopt;
}

int FaultPlan::setting(const std::string& address, std::string_view kind) const {
  if (const auto m = modules_.find(address); m != modules_.end()) {
    if (const auto it = m->second.find(kind); it != m->second.end()) return it->second;
  }
  const auto it = line_.find(kind);
  return it == line_.end() ? 0 : it->second;
}

bool FaultPlan::roll(int percent) {
  if (percent <= 0) return false;
  if (percent >= 100) return true;
  std::uniform_int_distribution<int> d(0, 99);
  return d(rng_) < percent;
}

std::string FaultPlan::noise_bytes(size_t count) {
  std::uniform_int_distribution<int> d(1, 255);
  std::string out;
  while (out.size() < count) {
    const int b = d(rng_);
    if (b != '\r' && b != '\n') out += static_cast<char>(b);
  }
  return out;
}

ShapedReply FaultPlan::shape(std::string line, bool framed, std::string_view other_address,
                             const std::string& address) {
  ShapedReply out;
  auto pct = [&](const char* kind) { return setting(address, kind); };
  if (roll(pct("drop"))) {
    count("drop");
    out.dropped = true;
    return out;
  }
  if (framed && roll(pct("badaddr"))) {
    // Same fields and a valid checksum, but another module's address.
    const size_t addr_end = line.find(' ', 4);
    line = line.substr(0, 4) + std::string(other_address) +
           (addr_end == std::string::npos ? std::string() : line.substr(addr_end));
    stamp_checksum(line);
    count("badaddr");
  }
  if (framed && roll(pct("badsum"))) {
    const uint8_t wrong = static_cast<uint8_t>(frame_checksum(line) ^ 0x5A);
    const std::string digits = hex_digits(wrong, 2);
    line[1] = digits[0];
    line[2] = digits[1];
    count("badsum");
  }
  if (roll(pct("truncate"))) {
    line.resize(line.size() / 2);
    count("truncate");
  }
  if (roll(pct("longline"))) {
    while (line.size() < kLongLineChars) line += line.empty() ? std::string("X") : line;
    line.resize(kLongLineChars);
    count("longline");
  }
  if (roll(pct("noise"))) {
    std::uniform_int_distribution<size_t> n(4, 8);
    line = noise_bytes(n(rng_)) + line;
    count("noise");
  }
  if (const int delay_ms = pct("delay"); delay_ms > 0) {
    out.delay_ns = static_cast<int64_t>(delay_ms) * 1'000'000;
    count("delay");
  }
  out.bytes = std::move(line) + "\r";
  return out;
}

uint64_t FaultPlan::count_of(std::string_view kind) const {
  const auto it = counts_.find(kind);
  return it == counts_.end() ? 0 : it->second;
}

const FaultPlan::Settings* FaultPlan::module_settings(const std::string& address) const {
  const auto m = modules_.find(address);
  return m == modules_.end() ? nullptr : &m->second;
}

}  // namespace sim
