// SPDX-License-Identifier: MIT
// The control channel's grammar: one command line in, one "ok ..." or
// "error ..." line out.
#include <charconv>
#include <optional>

#include "clock.h"
#include "simulator.h"

namespace sim {

namespace {

std::pair<std::string, std::string> split_word(const std::string& text) {
  const size_t sp = text.find(' ');
  if (sp == std::string::npos) return {text, {}};
  return {text.substr(0, sp), text.substr(sp + 1)};
}

std::optional<long> parse_count(const std::string& text, long lo, long hi) {
  long v = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size() || v < lo || v > hi)
    return std::nullopt;
  return v;
}

const char kControlHelp[] =
    "ok commands: power-cycle | key [@ADDR] TEXT | set [@ADDR] FIELD VALUE | fault [@ADDR] KIND "
    "[ARG] "
    "(delay drop badsum badaddr truncate noise longline burst flood vanish return off) | state | "
    "collide [N] | counts | path | quit";

}  // namespace

std::string Simulator::control_fault(const std::string& kind, const std::string& arg) {
  const int64_t now = monotonic_ns();
  if (kind == "burst") {
    const auto n = parse_count(arg, 1, 4096);
    if (!n) return "error burst takes a byte count, 1 to 4096";
    if (vanished_) return "error the device has vanished";
    send_raw(faults_.noise_bytes(static_cast<size_t>(*n)), now);
    faults_.count("burst");
    event("fault burst " + arg);
    return "ok burst " + arg;
  }
  if (kind == "flood") {
    const auto n = arg.empty() ? std::optional<long>(kLongLineChars) : parse_count(arg, 1, 4096);
    if (!n) return "error flood takes a length, 1 to 4096";
    if (vanished_) return "error the device has vanished";
    std::string line;
    while (line.size() < static_cast<size_t>(*n)) line += static_cast<char>('0' + line.size() % 10);
    send_raw(line + "\r", now);
    faults_.count("flood");
    event("fault flood " + std::to_string(*n));
    return "ok flood " + std::to_string(*n);
  }
  if (kind == "vanish") {
    const auto ms = arg.empty() ? std::optional<long>(-1) : parse_count(arg, 0, 3'600'000);
    if (!ms) return "error vanish takes milliseconds, 0 to 3600000";
    vanish(now, *ms);
    return "ok vanish";
  }
  if (kind == "return") {
    if (!vanished_) return "error the device has not vanished";
    come_back(now);
    if (vanished_) return "error the device could not come back";
    return "ok return " + pty_.path();
  }
  if (const auto err = faults_.configure(kind, arg)) return "error " + *err;
  event("fault " + kind + (arg.empty() ? "" : " " + arg));
  return "ok fault " + kind + (arg.empty() ? "" : " " + arg);
}

std::string Simulator::control_module_fault(const std::string& args) {
  // "@ADDR KIND [ARG]": a reply fault of that module's replies only.
  const auto [at, rest] = split_word(args);
  const auto [kind, arg] = split_word(rest);
  if (!find_module(at.substr(1))) return "error no module at that address";
  if (kind.empty()) return "error usage: fault @ADDR KIND [ARG]";
  if (kind != "off" && !FaultPlan::is_reply_fault(kind)) {
    return "error " + kind + " acts on the whole line: give it without @ADDR";
  }
  if (const auto err = faults_.configure(kind, arg, at.substr(1))) return "error " + *err;
  const std::string what = at + " " + kind + (arg.empty() ? "" : " " + arg);
  event("fault " + what);
  return "ok fault " + what;
}

std::string Simulator::control(const std::string& line) {
  const auto [cmd, rest] = split_word(line);
  const int64_t now = monotonic_ns();
  // An optional "@ADDR" picks the module; the first one otherwise.
  auto target = [this](std::string& args) -> Module* {
    if (args.empty() || args[0] != '@') return &modules_.front();
    auto [addr, tail] = split_word(args);
    args = tail;
    return find_module(addr.substr(1));
  };
  if (cmd == "power-cycle") {
    if (vanished_) return "error the device has vanished";
    power_cycle(now);
    return "ok power-cycle";
  }
  if (cmd == "key") {
    std::string args = rest;
    Module* m = target(args);
    if (!m) return "error no module at that address";
    if (args.empty()) return "error key needs keys (blank and hex digits)";
    if (!m->queue_keys(args)) return "error keys are blanks and hex digits only";
    return "ok " + std::to_string(m->keys.size()) + " keys queued";
  }
  if (cmd == "set") {
    std::string args = rest;
    Module* m = target(args);
    if (!m) return "error no module at that address";
    const auto [field, value] = split_word(args);
    if (field.empty() || value.empty()) return "error usage: set [@ADDR] FIELD VALUE";
    if (const auto err = m->set_field(field, value)) return "error " + *err;
    event("set " + m->address + " " + field + " " + value);
    return "ok " + field + " " + value;
  }
  if (cmd == "fault") {
    if (!rest.empty() && rest[0] == '@') return control_module_fault(rest);
    const auto [kind, arg] = split_word(rest);
    if (kind.empty()) return "error usage: fault [@ADDR] KIND [ARG]";
    return control_fault(kind, arg);
  }
  if (cmd == "collide") {
    if (!opt_.echo) return "error the line does not echo (start with --echo)";
    const auto count = rest.empty() ? std::optional<long>(1) : parse_count(rest, 1, 1000);
    if (!count) return "error usage: collide [N] (1 to 1000 echoes)";
    collide_next_ += static_cast<int>(*count);
    return "ok " + std::to_string(collide_next_) + " echoes to collide";
  }
  if (cmd == "state") return "ok " + state_json();
  if (cmd == "counts") return "ok " + counts_json();
  if (cmd == "path") return "ok " + (vanished_ ? std::string() : pty_.path());
  if (cmd == "quit") {
    stop_ = true;
    return "ok bye";
  }
  if (cmd == "help") return kControlHelp;
  return "error unknown command '" + cmd + "' (try help)";
}

}  // namespace sim
