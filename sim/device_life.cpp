// SPDX-License-Identifier: MIT
// The device's life: power cycles, vanishing and coming back.
#include <cstdio>

#include "clock.h"
#include "simulator.h"

namespace sim {

void Simulator::power_cycle(int64_t now) {
  out_.clear();  // a reply being sent is cut off
  input_.reset();
  for (auto& m : modules_) m.power_up();
  faults_.count("power_cycle");
  event("power-cycle");
  send_banner(now);
}

void Simulator::vanish(int64_t now, int64_t return_after_ms) {
  if (!vanished_) {
    out_.clear();
    pty_.close();
    vanished_ = true;
    faults_.count("vanish");
    event("vanish");
  }
  return_at_ns_ = return_after_ms >= 0 ? now + return_after_ms * kNsPerMs : -1;
}

void Simulator::come_back(int64_t now) {
  return_at_ns_ = -1;
  if (!vanished_) return;
  std::string error;
  if (!pty_.open(opt_.link_path, error)) {
    std::fprintf(stderr, "brimtally-sim: device cannot come back: %s (retrying)\n", error.c_str());
    return_at_ns_ = now + 1000 * kNsPerMs;
    return;
  }
  vanished_ = false;
  input_.reset();
  std::printf("%s\n", pty_.path().c_str());
  std::fflush(stdout);
  faults_.count("return");
  event("return device " + pty_.path());
  for (auto& m : modules_) m.power_up();
  send_banner(now);
}

}  // namespace sim
