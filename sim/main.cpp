// SPDX-License-Identifier: MIT
// brimtally-sim: simulated Brimtally modules on a pseudo-terminal.
#include <cstdio>

#include "options.h"
#include "simulator.h"
#include "standard_streams.h"

int main(int argc, char** argv) {
  standard_streams::guard();
  sim::ParseResult parsed = sim::parse_options(argc, argv);
  if (!parsed.options) {
    std::fputs(parsed.message.c_str(), parsed.exit_code == 0 ? stdout : stderr);
    return parsed.exit_code;
  }
  sim::Simulator simulator(std::move(*parsed.options));
  std::string error;
  if (!simulator.start(error)) {
    std::fprintf(stderr, "brimtally-sim: %s\n", error.c_str());
    return 1;
  }
  std::printf("%s\n", simulator.device_path().c_str());
  std::fflush(stdout);
  return simulator.run();
}
