#pragma once
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
  std::string linkPath;
  std::string controlPath;
  std::string logPath;
  std::string printerPath;
  long baud = 0;  // 0: unpaced
  uint64_t seed = 1;
  int drift = 2;
  int tickMs = 100;
  bool banner = true;          // banner and prompt at start-up
  bool dieWithParent = false;  // stop when the process that started us ends
};

struct ParseResult {
  std::optional<Options> options;  // empty: exit with `exitCode`
  int exitCode = 0;
  std::string message;  // for stdout (help) or stderr (errors)
};

ParseResult parseOptions(int argc, char** argv);
const char* helpText();

}  // namespace sim
