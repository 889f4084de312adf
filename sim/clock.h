#pragma once
#include <cstdint>

namespace sim {

// Nanoseconds of CLOCK_MONOTONIC, the clock the library measures with, so
// that log timestamps from both ends can be compared directly.
int64_t monotonicNs();

constexpr int64_t kNsPerMs = 1'000'000;

}  // namespace sim
