// SPDX-License-Identifier: MIT
// The monotonic clock, read.
#include "clock.h"

#include <ctime>

namespace sim {

int64_t monotonic_ns() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

}  // namespace sim
