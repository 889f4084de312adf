// SPDX-License-Identifier: MIT
// A module's values: power-up, drift, settings by name and queued keys.
#include "module.h"

#include <algorithm>
#include <charconv>
#include <map>

#include "frame_codec.h"

namespace sim {

namespace {

// Decimal, or hexadecimal with a 0x prefix.
std::optional<long> parse_number(std::string_view text) {
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
    base = 16;
  }
  if (text.empty()) return std::nullopt;
  long value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace

Module::Module(std::string addr, std::string nm, uint16_t cfg)
    : address(std::move(addr)), name(std::move(nm)), config(cfg) {
  // A serial number that differs between addresses but repeats between runs.
  uint32_t h = 2166136261u;
  for (char c : address) h = (h ^ static_cast<uint8_t>(c)) * 16777619u;
  serial = {0x01,
            static_cast<uint8_t>(h),
            static_cast<uint8_t>(h >> 8),
            static_cast<uint8_t>(h >> 16),
            static_cast<uint8_t>(h >> 24),
            0x00,
            0x00,
            0x00};
  uint8_t crc = 0;
  for (size_t i = 0; i < 7; ++i) crc = static_cast<uint8_t>(crc * 31 + serial[i]);
  serial[7] = crc;
  for (int ch = 0; ch < 6; ++ch) {
    analog_in[static_cast<size_t>(ch)] = (channel_max(ch) + 1) / 2;
    default_high[static_cast<size_t>(ch)] = channel_max(ch);
  }
  power_up();
}

void Module::power_up() {
  low_limit = default_low;
  high_limit = default_high;
  direction = default_direction;
  pwm_period = default_pwm_period;
  pwm_percent = default_pwm_period > 0 ? default_pwm_high * 100 / default_pwm_period : 0;
  analog_out = {0, 0};
  digital_out = 0;
  debounce = 0;
  totalizer = 0;
  totalizer_fraction = 0;
  keys.clear();
  reset_min_max();
}

void Module::reset_min_max() {
  min45 = {analog_in[4], analog_in[5]};
  max45 = min45;
}

void Module::track_min_max() {
  for (size_t i = 0; i < 2; ++i) {
    min45[i] = std::min(min45[i], analog_in[4 + i]);
    max45[i] = std::max(max45[i], analog_in[4 + i]);
  }
}

void Module::advance(int64_t elapsed_ns, int drift, std::mt19937_64& rng) {
  if (drift > 0) {
    std::uniform_int_distribution<int> step(-drift, drift);
    for (int ch = 0; ch < 6; ++ch) {
      int& v = analog_in[static_cast<size_t>(ch)];
      v = std::clamp(v + step(rng), 0, channel_max(ch));
    }
    frequency = std::clamp(frequency + step(rng), 0, 0xFFFF);
    track_min_max();
  }
  totalizer_fraction += static_cast<double>(frequency) * static_cast<double>(elapsed_ns) / 1e9;
  const auto whole = static_cast<uint32_t>(totalizer_fraction);
  totalizer_fraction -= whole;
  totalizer = (totalizer + whole) & 0xFFFFFF;
}

bool Module::queue_keys(std::string_view text) {
  for (char c : text) {
    const char u = static_cast<char>(c >= 'a' && c <= 'f' ? c - 32 : c);
    if (!(u == ' ' || (u >= '0' && u <= '9') || (u >= 'A' && u <= 'F'))) return false;
  }
  for (char c : text) keys.push_back(static_cast<char>(c >= 'a' && c <= 'f' ? c - 32 : c));
  return true;
}

std::string Module::take_keys(size_t max) {
  std::string out;
  while (!keys.empty() && out.size() < max) {
    out += keys.front();
    keys.pop_front();
  }
  return out;
}

const char* Module::field_help() {
  return "a0..a3 (0-255), a4 a5 (0-4095), min4 max4 min5 max5, d0 d1 (0-4095), di (0-255, the "
         "input lines), do, dir, debounce (0-255), config (0-65535), freq (0-65535), total "
         "(0-16777215), pwm_period, pwm_percent, serial (16 hex digits)";
}

std::optional<std::string> Module::set_field(std::string_view field, std::string_view value) {
  if (field == "serial") {
    if (value.size() != 16) return "serial takes 16 hexadecimal digits";
    for (size_t i = 0; i < 8; ++i) {
      const auto byte = parse_hex(value.substr(i * 2, 2), 2);
      if (!byte) return "serial takes 16 hexadecimal digits";
      serial[i] = static_cast<uint8_t>(*byte);
    }
    return std::nullopt;
  }
  const auto number = parse_number(value);
  if (!number) return "value must be a decimal number or 0x followed by hex digits";
  const long v = *number;
  auto in_range = [v](long hi) { return v >= 0 && v <= hi; };
  struct Target {
    int* slot;
    long max;
  };
  const std::map<std::string_view, Target> ints = {
      {"a0", {&analog_in[0], 0xFF}},
      {"a1", {&analog_in[1], 0xFF}},
      {"a2", {&analog_in[2], 0xFF}},
      {"a3", {&analog_in[3], 0xFF}},
      {"a4", {&analog_in[4], 0xFFF}},
      {"a5", {&analog_in[5], 0xFFF}},
      {"min4", {&min45[0], 0xFFF}},
      {"max4", {&max45[0], 0xFFF}},
      {"min5", {&min45[1], 0xFFF}},
      {"max5", {&max45[1], 0xFFF}},
      {"d0", {&analog_out[0], 0xFFF}},
      {"d1", {&analog_out[1], 0xFFF}},
      {"di", {&external_in, 0xFF}},
      {"do", {&digital_out, 0xFF}},
      {"dir", {&direction, 0xFF}},
      {"debounce", {&debounce, 0xFF}},
      {"freq", {&frequency, 0xFFFF}},
      {"pwm_period", {&pwm_period, 0xFFFF}},
      {"pwm_percent", {&pwm_percent, 0xFFFF}},
  };
  if (const auto it = ints.find(field); it != ints.end()) {
    if (!in_range(it->second.max)) return "value out of range 0.." + std::to_string(it->second.max);
    *it->second.slot = static_cast<int>(v);
    // A reading set by hand is a reading like any other: min/max follow it.
    if (field == "a4" || field == "a5") track_min_max();
    return std::nullopt;
  }
  if (field == "config") {
    if (!in_range(0xFFFF)) return "value out of range 0..65535";
    config = static_cast<uint16_t>(v);
    return std::nullopt;
  }
  if (field == "total") {
    if (!in_range(0xFFFFFF)) return "value out of range 0..16777215";
    totalizer = static_cast<uint32_t>(v);
    return std::nullopt;
  }
  return "unknown field '" + std::string(field) + "'";
}

}  // namespace sim
