// SPDX-License-Identifier: MIT
// The control channel's JSON: the simulator's state and the fault counts.
#include <nlohmann/json.hpp>

#include "frame_codec.h"
#include "simulator.h"

namespace sim {

namespace {

using Json = nlohmann::ordered_json;

// The control channel writes every byte outside printable ASCII as \u00XX.
// nlohmann reads strings as UTF-8 and escapes by code point, so each byte
// goes in as the code point of its value.
std::string code_points(std::string_view bytes) {
  std::string out;
  for (const char c : bytes) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x80) {
      out += c;
    } else {
      out += static_cast<char>(0xC0 | (u >> 6));
      out += static_cast<char>(0x80 | (u & 0x3F));
    }
  }
  return out;
}

// Compact, and with \b \t \n \f \r, which nlohmann writes short, as \u00XX
// like every other control character.
std::string text_of(const Json& value) {
  static constexpr std::string_view kShort = "btnfr";
  static constexpr const char* kLong[] = {"u0008", "u0009", "u000a", "u000c", "u000d"};
  const std::string dumped = value.dump(-1, ' ', true);
  std::string out;
  for (size_t i = 0; i < dumped.size(); ++i) {
    out += dumped[i];
    if (dumped[i] != '\\') continue;
    const size_t k = kShort.find(dumped[++i]);
    if (k == std::string_view::npos) {
      out += dumped[i];
    } else {
      out += kLong[k];
    }
  }
  return out;
}

// The line's reply faults, every kind.
Json line_faults(const FaultPlan& faults) {
  Json out = {{"delay_ms", faults.setting("", "delay")}};
  for (const std::string_view kind : kPercentFaults)
    out[std::string(kind)] = faults.setting("", kind);
  return out;
}

// A module's own reply faults, only those it sets.
Json module_faults(const FaultPlan& faults, const std::string& address) {
  Json out = Json::object();
  if (const FaultPlan::Settings* own = faults.module_settings(address)) {
    for (const auto& [kind, value] : *own) out[kind == "delay" ? "delay_ms" : kind] = value;
  }
  return out;
}

Json module_json(const Module& m, const FaultPlan& faults) {
  std::string serial;
  for (const uint8_t b : m.serial) serial += hex_digits(b, 2);
  Json printed = Json::array();
  for (const std::string& line : m.printed) printed.push_back(code_points(line));
  return {{"address", code_points(m.address)},
          {"name", code_points(m.name)},
          {"config", m.config},
          {"serial", serial},
          {"analog_in", m.analog_in},
          {"min", m.min45},
          {"max", m.max45},
          {"analog_out", m.analog_out},
          {"low_limit", m.low_limit},
          {"high_limit", m.high_limit},
          {"digital_in", m.digital_in()},
          {"input_lines", m.external_in},
          {"digital_out", m.digital_out},
          {"direction", m.direction},
          {"debounce", m.debounce},
          {"pwm_period", m.pwm_period},
          {"pwm_percent", m.pwm_percent},
          {"frequency", m.frequency},
          {"totalizer", m.totalizer},
          {"keys", std::string(m.keys.begin(), m.keys.end())},
          {"default_low", m.default_low},
          {"default_high", m.default_high},
          {"default_direction", m.default_direction},
          {"default_pwm_period", m.default_pwm_period},
          {"default_pwm_high", m.default_pwm_high},
          {"network_baud", m.network_baud},
          {"comm_delay_ms", m.comm_delay_ms},
          {"printed", printed},
          {"faults", module_faults(faults, m.address)}};
}

}  // namespace

std::string Simulator::state_json() const {
  Json modules = Json::array();
  for (const Module& m : modules_) modules.push_back(module_json(m, faults_));
  return text_of({{"device", code_points(vanished_ ? std::string() : pty_.path())},
                  {"link", code_points(opt_.link_path)},
                  {"vanished", vanished_},
                  {"baud", opt_.baud},
                  {"faults", line_faults(faults_)},
                  {"modules", modules}});
}

std::string Simulator::counts_json() const {
  Json out = Json::object();
  for (const std::string_view kind : kCountedFaults)
    out[std::string(kind)] = faults_.count_of(kind);
  return text_of(out);
}

}  // namespace sim
