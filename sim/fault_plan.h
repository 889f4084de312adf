#pragma once
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
  int64_t delayNs = 0;
};

// Faults that act on every reply with a given probability, the one-shot
// fault counters, and the random source behind both. Decisions draw from one
// seeded generator in a fixed order per reply, so the same seed and the same
// commands give the same faults.
class FaultPlan {
 public:
  explicit FaultPlan(uint64_t seed) : rng_(seed) {}

  // "delay MS", "drop PCT", "badsum [PCT]", "badaddr [PCT]", "truncate [PCT]",
  // "noise [PCT]", "longline [PCT]"; "off [KIND]". Returns an error text.
  std::optional<std::string> configure(std::string_view kind, std::string_view arg);
  static bool isReplyFault(std::string_view kind);

  // `line` without its CR. Framed replies may also get a wrong checksum or
  // address; console lines only the faults that make sense for plain text.
  ShapedReply shape(std::string line, bool framed, std::string_view otherAddress);

  // Random noise bytes: never CR or LF, so they join the next line.
  std::string noiseBytes(size_t count);

  void count(const std::string& kind) { ++counts_[kind]; }
  std::string countsJson() const;
  std::string settingsJson() const;

 private:
  bool roll(int percent);

  std::mt19937_64 rng_;
  int delayMs_ = 0;
  std::map<std::string, int, std::less<>> percent_;  // per reply fault kind
  std::map<std::string, uint64_t, std::less<>> counts_;
};

constexpr size_t kLongLineChars = 120;

}  // namespace sim
