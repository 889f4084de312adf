// SPDX-License-Identifier: MIT
// Reply faults, fault counters and the seeded random source behind them.
#ifndef BRIMTALLY_SIM_FAULT_PLAN_H
#define BRIMTALLY_SIM_FAULT_PLAN_H

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <string_view>

namespace sim {

// One reply as it will go out, after the faults have had their say.
struct ShapedReply {
  bool dropped = false;
  std::string bytes;  // including the line end
  int64_t delay_ns = 0;
};

// Faults that act on replies with a given probability, the one-shot fault
// counters, and the random source behind both. A reply fault is set for the
// whole line or for one module's replies; a module's own setting of a kind
// takes precedence over the line's. Decisions draw from one seeded generator
// in a fixed order per reply, so the same seed and the same commands give
// the same faults.
class FaultPlan {
 public:
  explicit FaultPlan(uint64_t seed) : rng_(seed) {}

  // "delay MS", "drop PCT", "badsum [PCT]", "badaddr [PCT]", "truncate [PCT]",
  // "noise [PCT]", "longline [PCT]"; "off [KIND]". For the module at
  // `address`, or the whole line when it is empty. Returns an error text.
  std::optional<std::string> configure(std::string_view kind, std::string_view arg,
                                       const std::string& address = "");
  static bool is_reply_fault(std::string_view kind);

  // `line` without its CR, sent by the module at `address`. Framed replies
  // may also get a wrong checksum or address; console lines only the faults
  // that make sense for plain text.
  ShapedReply shape(std::string line, bool framed, std::string_view other_address,
                    const std::string& address);

  // Random noise bytes: never CR or LF, so they join the next line.
  std::string noise_bytes(size_t count);

  void count(const std::string& kind) { ++counts_[kind]; }
  uint64_t count_of(std::string_view kind) const;

  // Percentages by kind; "delay" holds milliseconds.
  using Settings = std::map<std::string, int, std::less<>>;
  // What a reply of the module at `address` gets: its own setting of `kind`,
  // else the line's.
  int setting(const std::string& address, std::string_view kind) const;
  // The module's own settings; null when it has none.
  const Settings* module_settings(const std::string& address) const;

 private:
  bool roll(int percent);

  std::mt19937_64 rng_;
  Settings line_;
  std::map<std::string, Settings, std::less<>> modules_;
  std::map<std::string, uint64_t, std::less<>> counts_;
};

constexpr size_t kLongLineChars = 120;

// The reply faults that take a percentage, and every kind counted, in the
// order the control channel reports them.
inline constexpr std::array<std::string_view, 6> kPercentFaults = {
    "drop", "badsum", "badaddr", "truncate", "noise", "longline"};
inline constexpr std::array<std::string_view, 12> kCountedFaults = {
    "delay",    "drop",  "badsum", "badaddr", "truncate", "noise",
    "longline", "burst", "flood",  "vanish",  "return",   "power_cycle"};

}  // namespace sim

#endif  // BRIMTALLY_SIM_FAULT_PLAN_H
