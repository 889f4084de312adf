// SPDX-License-Identifier: MIT
// The simulator's clock: the monotonic time every timestamp and deadline uses.
#ifndef BRIMTALLY_SIM_CLOCK_H
#define BRIMTALLY_SIM_CLOCK_H

#include <cstdint>

namespace sim {

// Nanoseconds of CLOCK_MONOTONIC, the clock the library measures with, so
// that log timestamps from both ends can be compared directly.
int64_t monotonic_ns();

constexpr int64_t kNsPerMs = 1'000'000;

}  // namespace sim

#endif  // BRIMTALLY_SIM_CLOCK_H
