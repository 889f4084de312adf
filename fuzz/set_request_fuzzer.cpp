// SPDX-License-Identifier: MIT
// The gateway's reading of a set request, which comes from anyone who may
// publish to the broker: every payload for every setting name becomes a
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
    return out;
  }();
  bt_fuzz::FuzzInput input(data, size);
  const std::string& setting = names[input.byte() % names.size()];
  const size_t address_length = input.byte() % 20;
  const std::string payload = input.bytes(size);
  gateway::SetRequest request;
  try {
    gateway::parse_set(setting, payload, address_length, request);
    if (request.entry == nullptr) {
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
