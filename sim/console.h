// SPDX-License-Identifier: MIT
// The module's plain-text console: its commands, banner and prompt.
#ifndef BRIMTALLY_SIM_CONSOLE_H
#define BRIMTALLY_SIM_CONSOLE_H

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

ConsoleReply run_console(Module& module, std::string_view line);

// The line the module sends at power-up and after a rename.
std::string banner_line(const Module& module);
std::string prompt_line(const Module& module);

constexpr size_t kMaxNameLength = 32;

}  // namespace sim

#endif  // BRIMTALLY_SIM_CONSOLE_H
