// SPDX-License-Identifier: MIT
// Building a framed command line in CommandText, and sending it.
#ifndef BRIMTALLY_COMMAND_LINE_H
#define BRIMTALLY_COMMAND_LINE_H

#include <cstdint>
#include <initializer_list>
#include <string_view>

#include "brimtally.h"

namespace bt {

// One numeric argument: its low 16 bits as `width` hexadecimal digits.
struct HexArg {
  int16_t value;
  int width;
};

// The longest line CommandText holds, NUL excluded.
inline constexpr size_t kMaxCommandLength = BT_COMMAND_LEN - 1;

// Builds "#cc <address> <letters>[ <arg>]..." LF CR in CommandText.
// The address can be at most 20 characters, so these lines always fit.
void build_command(ModuleRecord& record, std::string_view letters,
                   std::initializer_list<HexArg> args = {});

// Builds "#cc <address> S=<MessageText>" LF CR. Returns false, leaving
// CommandText as it was, when the line would not fit.
bool build_print_command(ModuleRecord& record);

}  // namespace bt

#endif  // BRIMTALLY_COMMAND_LINE_H
