// SPDX-License-Identifier: MIT
// The rules the default waits of the POSIX and network kinds share.
#ifndef BRIMTALLY_SERIAL_WAIT_RULES_H
#define BRIMTALLY_SERIAL_WAIT_RULES_H

#include <time.h>

#include <algorithm>
#include <cstdint>

namespace bt {

// One poll lasts the time left, at least 1 ms and at most a minute; a wait
// without a deadline simply polls again.
inline int poll_timeout_ms(uint32_t ms) {
  return static_cast<int>(std::clamp<uint32_t>(ms, 1, 60'000));
}

// Taken instead of a poll when input already waits or the device is gone, so
// a caller that is not reading does not spin. An interrupted sleep just ends
// early; callers measure their own deadline.
inline void sleep_one_ms() {
  const timespec one_ms{0, 1'000'000};
  clock_nanosleep(CLOCK_MONOTONIC, 0, &one_ms, nullptr);
}

}  // namespace bt

#endif  // BRIMTALLY_SERIAL_WAIT_RULES_H
