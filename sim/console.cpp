// SPDX-License-Identifier: MIT
// The console's commands and the lines they answer with.
#include "console.h"

#include <algorithm>
#include <cctype>

#include "frame_codec.h"

namespace sim {

namespace {

std::vector<std::string_view> words(std::string_view text) {
  std::vector<std::string_view> out;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    const size_t start = i;
    while (i < text.size() && text[i] != ' ' && text[i] != '\t') ++i;
    if (i > start) out.push_back(text.substr(start, i - start));
  }
  return out;
}

std::string upper(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return out;
}

// Error lines never begin with "C:" or "Brimtally" and never end with ">", so
// a reader cannot take them for a configuration, banner or prompt.
const char* const kUnknown = "Error: unknown command";
const char* const kBadArgs = "Error: bad arguments";
const char* const kRange = "Error: value out of range";

// Runs one command; returns its result line (empty for none).
std::string execute(Module& m, std::string_view line, bool& renamed) {
  const auto w = words(line);
  if (w.empty()) return {};
  const std::string cmd = upper(w[0]);
  const std::vector<std::string_view> args(w.begin() + 1, w.end());
  auto hex_arg = [&](size_t i, int max_digits) { return parse_hex(args[i], max_digits); };

  if (cmd == "A") {
    // The name is the rest of the line after "A ", blanks inside kept.
    const size_t pos = line.find_first_not_of(" \t");
    std::string_view name = line.substr(pos + 1);
    if (!name.empty() && name.front() == ' ') name.remove_prefix(1);
    while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
    if (name.size() > kMaxNameLength) return "Error: name longer than 32 characters";
    for (char c : name)
      if (static_cast<unsigned char>(c) < 32 || static_cast<unsigned char>(c) > 126)
        return kBadArgs;
    m.name = std::string(name);
    renamed = true;
    return banner_line(m);
  }
  if (cmd == "QC") {
    if (!args.empty()) return kBadArgs;
    return "C:" + hex_digits(m.config, 4);
  }
  if (cmd == "CO") {
    if (args.size() != 1) return kBadArgs;
    const auto v = hex_arg(0, 4);
    if (!v) return kBadArgs;
    m.config = static_cast<uint16_t>(*v);
    return "OK";
  }
  if (cmd == "SLD") {
    if (args.size() != 3 || args[0].size() != 1 || args[0][0] < '0' || args[0][0] > '5')
      return kBadArgs;
    const int ch = args[0][0] - '0';
    const auto lo = hex_arg(1, 8);
    const auto hi = hex_arg(2, 8);
    if (!lo || !hi) return kBadArgs;
    const auto max = static_cast<uint32_t>(Module::channel_max(ch));
    if (*lo > max || *hi > max) return kRange;
    const auto idx = static_cast<size_t>(ch);
    m.default_low[idx] = m.low_limit[idx] = static_cast<int>(*lo);
    m.default_high[idx] = m.high_limit[idx] = static_cast<int>(*hi);
    return "OK";
  }
  if (cmd == "SP") {
    if (args.size() != 2) return kBadArgs;
    const auto period = hex_arg(0, 8);
    const auto high = hex_arg(1, 8);
    if (!period || !high) return kBadArgs;
    if (*period == 0 || *period > 0xFFFF || *high > *period) return kRange;
    m.default_pwm_period = static_cast<int>(*period);
    m.default_pwm_high = static_cast<int>(*high);
    m.pwm_period = m.default_pwm_period;
    m.pwm_percent = m.default_pwm_high * 100 / m.default_pwm_period;
    return "OK";
  }
  if (cmd == "SBD") {
    if (args.size() != 1) return kBadArgs;
    const auto v = hex_arg(0, 8);
    if (!v) return kBadArgs;
    if (*v > 0xFF) return kRange;
    m.default_direction = m.direction = static_cast<int>(*v);
    return "OK";
  }
  if (cmd == "CB") {
    if (args.size() != 1) return kBadArgs;
    static const std::pair<std::string_view, int> rates[] = {
        {"3", 300}, {"12", 1200}, {"24", 2400}, {"96", 9600}, {"19", 19200}, {"57", 57600}};
    for (const auto& [code, baud] : rates) {
      if (args[0] == code) {
        m.network_baud = baud;
        return "OK";
      }
    }
    return kRange;
  }
  if (cmd == "CD") {
    if (args.size() != 1) return kBadArgs;
    const auto v = hex_arg(0, 8);
    if (!v) return kBadArgs;
    if (*v > 0xFF) return kRange;
    m.comm_delay_ms = static_cast<int>(*v);
    return "OK";
  }
  return kUnknown;
}

}  // namespace

// Short, so that it arrives within a 30 ms reply time-out even at 9600 baud.
std::string banner_line(const Module&) {
  return "Brimtally I/O V1.00";
}

std::string prompt_line(const Module& m) {
  return m.name + ">";
}

ConsoleReply run_console(Module& m, std::string_view line) {
  ConsoleReply reply;
  std::string result = execute(m, line, reply.renamed);
  if (!result.empty()) reply.lines.push_back(std::move(result));
  reply.lines.push_back(prompt_line(m));
  return reply;
}

}  // namespace sim
