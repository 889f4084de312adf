// SPDX-License-Identifier: MIT
// Framed queries and settings, acted on for the addressed module.
#include "framed_protocol.h"

#include <optional>

#include "frame_codec.h"

namespace sim {

namespace {

// Replies must fit the 99 characters a reader accepts before the CR.
constexpr size_t kMaxReplyChars = 99;
constexpr size_t kMaxPrinterLines = 16;

std::vector<std::string_view> split_blanks(std::string_view text) {
  std::vector<std::string_view> parts;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && text[i] == ' ') ++i;
    const size_t start = i;
    while (i < text.size() && text[i] != ' ') ++i;
    if (i > start) parts.push_back(text.substr(start, i - start));
  }
  return parts;
}

std::string field(const char* tag, uint32_t value, int width) {
  return std::string(" ") + tag + ":" + hex_digits(value, width);
}

std::string analog_fields(const Module& m) {
  std::string out;
  for (int ch = 0; ch < 6; ++ch) {
    const std::string tag = "A" + std::to_string(ch);
    out += field(tag.c_str(), static_cast<uint32_t>(m.analog_in[static_cast<size_t>(ch)]),
                 ch >= 4 ? 3 : 2);
  }
  return out;
}

std::string min_max_fields(const Module& m) {
  std::string out;
  for (int i = 0; i < 2; ++i) {
    const auto idx = static_cast<size_t>(i);
    out += field(i == 0 ? "A4" : "A5", static_cast<uint32_t>(m.analog_in[4 + idx]), 3);
    out += field("V", static_cast<uint32_t>(m.volts(4 + i)), 3);
    out += field("X", static_cast<uint32_t>(m.max45[idx]), 3);
    out += field("N", static_cast<uint32_t>(m.min45[idx]), 3);
  }
  return out;
}

std::string serial_field(const Module& m) {
  // Eight groups, each followed by its separator.
  std::string out = " S:";
  for (uint8_t b : m.serial) out += hex_digits(b, 2) + " ";
  return out;
}

std::optional<std::vector<uint32_t>> hex_args(const std::vector<std::string_view>& args,
                                              size_t count, int max_digits) {
  if (args.size() != count) return std::nullopt;
  std::vector<uint32_t> values;
  for (auto a : args) {
    const auto v = parse_hex(a, max_digits);
    if (!v) return std::nullopt;
    values.push_back(*v);
  }
  return values;
}

bool apply_setting(Module& m, std::string_view cmd, const std::vector<std::string_view>& args) {
  if (cmd == "SD") {
    const auto v = hex_args(args, 2, 3);
    if (!v) return false;
    m.analog_out = {static_cast<int>((*v)[0]), static_cast<int>((*v)[1])};
    return true;
  }
  if (cmd == "SL") {
    if (args.size() != 3) return false;
    const auto ch = parse_hex(args[0], 1);
    if (!ch || *ch > 5) return false;
    const int width = *ch >= 4 ? 3 : 2;
    const auto lo = parse_hex(args[1], width);
    const auto hi = parse_hex(args[2], width);
    if (!lo || !hi) return false;
    m.low_limit[*ch] = static_cast<int>(*lo);
    m.high_limit[*ch] = static_cast<int>(*hi);
    return true;
  }
  if (cmd == "SO" || cmd == "SB" || cmd == "ST") {
    const auto v = hex_args(args, 1, 2);
    if (!v) return false;
    int& slot = cmd == "SO" ? m.digital_out : cmd == "SB" ? m.direction : m.debounce;
    slot = static_cast<int>((*v)[0]);
    return true;
  }
  if (cmd == "SP") {
    const auto v = hex_args(args, 2, 4);
    if (!v) return false;
    m.pwm_period = static_cast<int>((*v)[0]);
    m.pwm_percent = static_cast<int>((*v)[1]);
    return true;
  }
  if (cmd == "RM" || cmd == "RT") {
    if (!args.empty()) return false;
    if (cmd == "RM") {
      m.reset_min_max();
    } else {
      m.reset_totalizer();
    }
    return true;
  }
  return false;
}

}  // namespace

std::string query_body(Module& m, std::string_view cmd) {
  if (cmd == "QA") return analog_fields(m);
  if (cmd == "QM") {
    std::string body = min_max_fields(m);
    if (m.config & 0x20) m.reset_min_max();  // "clear min/max after query"
    return body;
  }
  if (cmd == "QD") {
    return field("D0", static_cast<uint32_t>(m.analog_out[0]), 3) +
           field("D1", static_cast<uint32_t>(m.analog_out[1]), 3);
  }
  if (cmd == "QI") return field("I", static_cast<uint32_t>(m.digital_in()), 2);
  if (cmd == "QO") return field("O", static_cast<uint32_t>(m.digital_out), 2);
  if (cmd == "QB") return field("B", static_cast<uint32_t>(m.direction), 2);
  if (cmd == "QC") return field("C", m.config, 4);
  if (cmd == "QF") return field("F", static_cast<uint32_t>(m.frequency), 4);
  if (cmd == "QT") return field("T", m.totalizer, 6);
  if (cmd == "QS") return serial_field(m);
  if (cmd == "QE") {
    // Everything but the serial number and min/max, which have their own
    // queries: all of it would not fit one line. "C:" ends a reader's scan,
    // so it comes last.
    return analog_fields(m) + field("D0", static_cast<uint32_t>(m.analog_out[0]), 3) +
           field("D1", static_cast<uint32_t>(m.analog_out[1]), 3) +
           field("I", static_cast<uint32_t>(m.digital_in()), 2) +
           field("O", static_cast<uint32_t>(m.digital_out), 2) +
           field("B", static_cast<uint32_t>(m.direction), 2) +
           field("F", static_cast<uint32_t>(m.frequency), 4) + field("T", m.totalizer, 6) +
           field("C", m.config, 4);
  }
  return {};
}

FramedResult handle_framed(std::string_view line, std::vector<Module>& modules) {
  FramedResult result;
  if (line.size() < 4 || line[0] != '#') return result;
  if (!frame_checksum_valid(line)) {
    result.outcome = FramedOutcome::kBadChecksum;
    return result;
  }
  // Position 3 separates the checksum from the address.
  std::string_view rest = line.substr(4);
  const size_t addr_end = rest.find(' ');
  const std::string_view address = rest.substr(0, addr_end);
  for (auto& m : modules) {
    if (m.address == address) result.module = &m;
  }
  if (result.module == nullptr) {
    result.outcome = FramedOutcome::kOtherAddress;
    return result;
  }
  Module& m = *result.module;
  rest = addr_end == std::string_view::npos ? std::string_view{} : rest.substr(addr_end + 1);

  if (rest.substr(0, 2) == "S=") {
    std::string text(rest.substr(2));
    m.printed.push_back(text);
    if (m.printed.size() > kMaxPrinterLines) m.printed.erase(m.printed.begin());
    result.printed = std::move(text);
    result.outcome = FramedOutcome::kActed;
    return result;
  }
  auto parts = split_blanks(rest);
  if (parts.empty()) return result;
  const std::string_view cmd = parts.front();
  parts.erase(parts.begin());

  if (cmd == "Q") {
    if (!parts.empty()) return result;
    // Keys follow a blank, which a key reader keeps as a key of its own; at
    // most 18 go in one reply so that blank and keys fit a 19-key field.
    const std::string keys = m.take_keys(18);
    result.reply = build_reply(m.address, keys.empty() ? std::string() : " " + keys);
    result.outcome = FramedOutcome::kReply;
    return result;
  }
  if (cmd.size() == 2 && cmd[0] == 'Q') {
    if (!parts.empty()) return result;
    std::string body = query_body(m, cmd);
    if (body.empty()) return result;
    std::string reply = build_reply(m.address, body);
    if (reply.size() > kMaxReplyChars) {
      // Long addresses: drop the blanks between fields, which no reader needs.
      std::string packed;
      for (char c : body)
        if (c != ' ' || cmd == "QS") packed += c;
      reply = build_reply(m.address, packed);
    }
    result.reply = std::move(reply);
    result.outcome = FramedOutcome::kReply;
    return result;
  }
  if (apply_setting(m, cmd, parts)) result.outcome = FramedOutcome::kActed;
  return result;
}

}  // namespace sim
