// SPDX-License-Identifier: MIT
// The framed protocol: what a module does with a "#" line and what it replies.
#ifndef BRIMTALLY_SIM_FRAMED_PROTOCOL_H
#define BRIMTALLY_SIM_FRAMED_PROTOCOL_H

#include <string>
#include <string_view>
#include <vector>

#include "module.h"

namespace sim {

// What became of one "#" line.
enum class FramedOutcome {
  kReply,         // a query: `reply` holds the "$" line (no line end)
  kActed,         // a setting, carried out; no reply
  kBadChecksum,   // ignored, as on a shared line
  kOtherAddress,  // for none of our modules: ignored
  kMalformed,     // for us, but unknown command or bad arguments: ignored
};

struct FramedResult {
  FramedOutcome outcome = FramedOutcome::kMalformed;
  Module* module = nullptr;
  std::string reply;
  std::string printed;  // text of an "S=" command
};

// Acts on a line that starts with "#" and ends before its LF CR.
FramedResult handle_framed(std::string_view line, std::vector<Module>& modules);

// The reply fields of a query, as the module would send them after its
// address (each field preceded by a blank). Exposed for the "$" layout rule
// of long addresses.
std::string query_body(Module& module, std::string_view command);

}  // namespace sim

#endif  // BRIMTALLY_SIM_FRAMED_PROTOCOL_H
