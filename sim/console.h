#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "module.h"

namespace sim {

// The module's plain-text console: one command line in, the lines to send
// back out (each to be ended with CR). Every command, even an empty line or
// an unknown one, ends with the prompt: the name followed by ">".
struct ConsoleReply {
  std::vector<std::string> lines;
  bool renamed = false;
};

ConsoleReply runConsole(Module& module, std::string_view line);

// The line the module sends at power-up and after a rename.
std::string bannerLine(const Module& module);
std::string promptLine(const Module& module);

constexpr size_t kMaxNameLength = 32;

}  // namespace sim
