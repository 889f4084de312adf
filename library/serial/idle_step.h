// SPDX-License-Identifier: MIT
// One idle step of a driver wait (a delay, or a read waiting for bytes).
#ifndef BRIMTALLY_SERIAL_IDLE_STEP_H
#define BRIMTALLY_SERIAL_IDLE_STEP_H

#include <cstdint>

#include "serial/serial_port.h"

namespace bt {

// The remaining time of a wait that ends only on input, failure or the hook.
inline constexpr uint64_t kNoDeadline = UINT64_MAX;

// Whether the caller has just found no input waiting (a read that came back
// empty), or may be leaving input unread (a delay).
enum class InputSeen { kNoneWaiting, kUnknown };

// Calls the environment's idle hook once. The default hook is handed the time
// the caller may still wait, in microseconds, so a quiet line costs one
// wake-up per wait rather than one every millisecond, and the wait ends at its
// deadline; a host's own hook runs as it always did.
int idle_step(PortEnvironment& environment, SerialPort* port, uint64_t remaining_us,
              InputSeen seen);

// The end of a driver wait on the microsecond clock.
class WaitDeadline {
 public:
  // ms from now; a negative ms has already passed.
  static WaitDeadline after_ms(int64_t ms) { return WaitDeadline(port_micros(), ms); }
  static WaitDeadline none() { return WaitDeadline(); }

  // Microseconds left: 0 once passed, kNoDeadline for a wait without one.
  uint64_t left() const {
    if (unbounded_) return kNoDeadline;
    const uint64_t now = port_micros();
    return now < end_ ? end_ - now : 0;
  }

 private:
  WaitDeadline() : unbounded_(true) {}
  WaitDeadline(uint64_t now, int64_t ms)
      : end_(ms > 0 ? now + static_cast<uint64_t>(ms) * 1000 : 0) {}

  uint64_t end_ = 0;
  bool unbounded_ = false;
};

}  // namespace bt

#endif  // BRIMTALLY_SERIAL_IDLE_STEP_H
