#include "module.h"

#include <algorithm>
#include <charconv>
#include <map>

#include "frame_codec.h"
#include "json_text.h"

namespace sim {

namespace {

// Decimal, or hexadecimal with a 0x prefix.
std::optional<long> parseNumber(std::string_view text) {
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

std::string intArray(const int* values, size_t n) {
  std::string out = "[";
  for (size_t i = 0; i < n; ++i) {
    if (i) out += ',';
    out += std::to_string(values[i]);
  }
  return out + "]";
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
    analogIn_[static_cast<size_t>(ch)] = (channelMax(ch) + 1) / 2;
    defaultHigh_[static_cast<size_t>(ch)] = channelMax(ch);
  }
  powerUp();
}

void Module::powerUp() {
  lowLimit_ = defaultLow_;
  highLimit_ = defaultHigh_;
  direction_ = defaultDirection_;
  pwmPeriod_ = defaultPwmPeriod_;
  pwmPercent_ = defaultPwmPeriod_ > 0 ? defaultPwmHigh_ * 100 / defaultPwmPeriod_ : 0;
  analogOut_ = {0, 0};
  digitalOut_ = 0;
  debounce_ = 0;
  totalizer_ = 0;
  totalizerFraction_ = 0;
  keys_.clear();
  resetMinMax();
}

void Module::resetMinMax() {
  min45_ = {analogIn_[4], analogIn_[5]};
  max45_ = min45_;
}

void Module::trackMinMax() {
  for (size_t i = 0; i < 2; ++i) {
    min45_[i] = std::min(min45_[i], analogIn_[4 + i]);
    max45_[i] = std::max(max45_[i], analogIn_[4 + i]);
  }
}

void Module::advance(int64_t elapsedNs, int drift, std::mt19937_64& rng) {
  if (drift > 0) {
    std::uniform_int_distribution<int> step(-drift, drift);
    for (int ch = 0; ch < 6; ++ch) {
      int& v = analogIn_[static_cast<size_t>(ch)];
      v = std::clamp(v + step(rng), 0, channelMax(ch));
    }
    frequency_ = std::clamp(frequency_ + step(rng), 0, 0xFFFF);
    trackMinMax();
  }
  totalizerFraction_ += static_cast<double>(frequency_) * static_cast<double>(elapsedNs) / 1e9;
  const auto whole = static_cast<uint32_t>(totalizerFraction_);
  totalizerFraction_ -= whole;
  totalizer_ = (totalizer_ + whole) & 0xFFFFFF;
}

bool Module::queueKeys(std::string_view keys) {
  for (char c : keys) {
    const char u = static_cast<char>(c >= 'a' && c <= 'f' ? c - 32 : c);
    if (!(u == ' ' || (u >= '0' && u <= '9') || (u >= 'A' && u <= 'F'))) return false;
  }
  for (char c : keys) keys_.push_back(static_cast<char>(c >= 'a' && c <= 'f' ? c - 32 : c));
  return true;
}

std::string Module::takeKeys(size_t max) {
  std::string out;
  while (!keys_.empty() && out.size() < max) {
    out += keys_.front();
    keys_.pop_front();
  }
  return out;
}

const char* Module::fieldHelp() {
  return "a0..a3 (0-255), a4 a5 (0-4095), min4 max4 min5 max5, d0 d1 (0-4095), di (0-255, the "
         "input lines), do, dir, debounce (0-255), config (0-65535), freq (0-65535), total "
         "(0-16777215), pwm_period, pwm_percent, serial (16 hex digits)";
}

std::optional<std::string> Module::setField(std::string_view field, std::string_view value) {
  if (field == "serial") {
    if (value.size() != 16) return "serial takes 16 hexadecimal digits";
    for (size_t i = 0; i < 8; ++i) {
      const auto byte = parseHex(value.substr(i * 2, 2), 2);
      if (!byte) return "serial takes 16 hexadecimal digits";
      serial[i] = static_cast<uint8_t>(*byte);
    }
    return std::nullopt;
  }
  const auto number = parseNumber(value);
  if (!number) return "value must be a decimal number or 0x followed by hex digits";
  const long v = *number;
  auto inRange = [v](long hi) { return v >= 0 && v <= hi; };
  struct Target {
    int* slot;
    long max;
  };
  const std::map<std::string_view, Target> ints = {
      {"a0", {&analogIn_[0], 0xFF}},
      {"a1", {&analogIn_[1], 0xFF}},
      {"a2", {&analogIn_[2], 0xFF}},
      {"a3", {&analogIn_[3], 0xFF}},
      {"a4", {&analogIn_[4], 0xFFF}},
      {"a5", {&analogIn_[5], 0xFFF}},
      {"min4", {&min45_[0], 0xFFF}},
      {"max4", {&max45_[0], 0xFFF}},
      {"min5", {&min45_[1], 0xFFF}},
      {"max5", {&max45_[1], 0xFFF}},
      {"d0", {&analogOut_[0], 0xFFF}},
      {"d1", {&analogOut_[1], 0xFFF}},
      {"di", {&externalIn_, 0xFF}},
      {"do", {&digitalOut_, 0xFF}},
      {"dir", {&direction_, 0xFF}},
      {"debounce", {&debounce_, 0xFF}},
      {"freq", {&frequency_, 0xFFFF}},
      {"pwm_period", {&pwmPeriod_, 0xFFFF}},
      {"pwm_percent", {&pwmPercent_, 0xFFFF}},
  };
  if (const auto it = ints.find(field); it != ints.end()) {
    if (!inRange(it->second.max)) return "value out of range 0.." + std::to_string(it->second.max);
    *it->second.slot = static_cast<int>(v);
    // A reading set by hand is a reading like any other: min/max follow it.
    if (field == "a4" || field == "a5") trackMinMax();
    return std::nullopt;
  }
  if (field == "config") {
    if (!inRange(0xFFFF)) return "value out of range 0..65535";
    config = static_cast<uint16_t>(v);
    return std::nullopt;
  }
  if (field == "total") {
    if (!inRange(0xFFFFFF)) return "value out of range 0..16777215";
    totalizer_ = static_cast<uint32_t>(v);
    return std::nullopt;
  }
  return "unknown field '" + std::string(field) + "'";
}

std::string Module::toJson() const {
  std::string keys(keys_.begin(), keys_.end());
  std::string serialHex;
  for (uint8_t b : serial) serialHex += hexDigits(b, 2);
  std::string printed = "[";
  for (size_t i = 0; i < printed_.size(); ++i) {
    if (i) printed += ',';
    printed += jsonString(printed_[i]);
  }
  printed += "]";
  std::string out = "{";
  out += "\"address\":" + jsonString(address);
  out += ",\"name\":" + jsonString(name);
  out += ",\"config\":" + std::to_string(config);
  out += ",\"serial\":" + jsonString(serialHex);
  out += ",\"analog_in\":" + intArray(analogIn_.data(), 6);
  out += ",\"min\":" + intArray(min45_.data(), 2);
  out += ",\"max\":" + intArray(max45_.data(), 2);
  out += ",\"analog_out\":" + intArray(analogOut_.data(), 2);
  out += ",\"low_limit\":" + intArray(lowLimit_.data(), 6);
  out += ",\"high_limit\":" + intArray(highLimit_.data(), 6);
  out += ",\"digital_in\":" + std::to_string(digitalIn());
  out += ",\"input_lines\":" + std::to_string(externalIn_);
  out += ",\"digital_out\":" + std::to_string(digitalOut_);
  out += ",\"direction\":" + std::to_string(direction_);
  out += ",\"debounce\":" + std::to_string(debounce_);
  out += ",\"pwm_period\":" + std::to_string(pwmPeriod_);
  out += ",\"pwm_percent\":" + std::to_string(pwmPercent_);
  out += ",\"frequency\":" + std::to_string(frequency_);
  out += ",\"totalizer\":" + std::to_string(totalizer_);
  out += ",\"keys\":" + jsonString(keys);
  out += ",\"default_low\":" + intArray(defaultLow_.data(), 6);
  out += ",\"default_high\":" + intArray(defaultHigh_.data(), 6);
  out += ",\"default_direction\":" + std::to_string(defaultDirection_);
  out += ",\"default_pwm_period\":" + std::to_string(defaultPwmPeriod_);
  out += ",\"default_pwm_high\":" + std::to_string(defaultPwmHigh_);
  out += ",\"network_baud\":" + std::to_string(networkBaud_);
  out += ",\"comm_delay_ms\":" + std::to_string(commDelayMs_);
  out += ",\"printed\":" + printed;
  return out + "}";
}

}  // namespace sim
