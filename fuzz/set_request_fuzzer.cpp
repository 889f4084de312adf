// SPDX-License-Identifier: MIT
// The gateway's reading of a set request, which comes from anyone who may
// publish to the broker: every payload for every setting or control name becomes a
// request whose values fit their wire fields, or a refusal, and its response
// always serialises.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_input.h"
#include "set_request.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> out{"print", "no-such-setting"};
    for (const toolkit::Setting& s : toolkit::settings()) out.emplace_back(s.name);
    for (const gateway::Control& c : gateway::controls()) {
      if (c.kind != gateway::Control::Kind::kReset) out.push_back(c.name);
    }
    return out;
  }();
  bt_fuzz::FuzzInput input(data, size);
  const std::string& setting = names[input.byte() % names.size()];
  const size_t address_length = input.byte() % 20;
  const std::string payload = input.bytes(size);
  gateway::SetRequest request;
  try {
    if (const gateway::Control* control = gateway::find_control(setting)) {
      gateway::parse_control(*control, payload, request);
      const int32_t largest = control->kind == gateway::Control::Kind::kBit       ? 1
                              : control->kind == gateway::Control::Kind::kChannel ? 0xFFF
                                                                                  : 0xFFFF;
      FUZZ_CHECK(request.control_value >= 0 && request.control_value <= largest);
    } else {
      gateway::parse_set(setting, payload, address_length, request);
    }
    if (request.control != nullptr) {
      FUZZ_CHECK(request.entry != nullptr);
    } else if (request.entry == nullptr) {
      FUZZ_CHECK(setting == "print" &&
                 request.text.size() <= toolkit::print_capacity(address_length));
    } else {
      FUZZ_CHECK(request.values.size() == request.entry->arguments.size());
      for (int32_t v : request.values) FUZZ_CHECK(v >= 0 && v <= 0xFFFF);
    }
  } catch (const gateway::Refusal&) {
    // Refused: the response below says why.
  }
  FUZZ_CHECK(!gateway::response(request, gateway::kRefusedStatus, payload).empty());
  return 0;
}
