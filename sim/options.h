// SPDX-License-Identifier: MIT
// The simulator's command line: its options, their checks and the help text.
#ifndef BRIMTALLY_SIM_OPTIONS_H
#define BRIMTALLY_SIM_OPTIONS_H

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace sim {

// A reply fault from the start: for the module at `address`, or the whole
// line when it is empty.
struct FaultOption {
  std::string address, kind, arg;
};

struct Options {
  std::vector<std::string> addresses;  // empty: one module at "01"
  std::string name = "BRIM";
  uint16_t config = 0x02CF;
  std::vector<std::pair<std::string, std::string>> sets;  // FIELD, VALUE
  std::vector<FaultOption> faults;
  std::string link_path;
  std::string control_path;
  std::string log_path;
  std::string printer_path;
  long baud = 0;  // 0: unpaced
  uint64_t seed = 1;
  int drift = 2;
  int tick_ms = 100;
  bool echo = false;             // the line returns what the host sends
  int collide_percent = 0;       // share of echoes with one byte changed
  bool banner = true;            // banner and prompt at start-up
  bool die_with_parent = false;  // stop when the process that started us ends
};

struct ParseResult {
  std::optional<Options> options;  // empty: exit with `exit_code`
  int exit_code = 0;
  std::string message;  // for stdout (help) or stderr (errors)
};

ParseResult parse_options(int argc, char** argv);
const char* help_text();

}  // namespace sim

#endif  // BRIMTALLY_SIM_OPTIONS_H
