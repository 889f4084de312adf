// SPDX-License-Identifier: MIT
// One idle step of a driver wait (a delay, or a read waiting for bytes).
#ifndef BRIMTALLY_SERIAL_IDLE_STEP_H
#define BRIMTALLY_SERIAL_IDLE_STEP_H

#include <cstdint>

#include "serial/serial_port.h"

namespace bt {

// The remaining time of a wait that ends only on input, failure or the hook.
inline constexpr uint32_t kNoDeadline = UINT32_MAX;

// Whether the caller has just found no input waiting (a read that came back
// empty), or may be leaving input unread (a delay).
enum class InputSeen { kNoneWaiting, kUnknown };

// Calls the environment's idle hook once. The default hook is handed the time
// the caller may still wait, so a quiet line costs one wake-up per wait rather
// than one every millisecond; a host's own hook runs as it always did.
int idle_step(PortEnvironment& environment, SerialPort* port, uint32_t remaining_ms,
              InputSeen seen);

}  // namespace bt

#endif  // BRIMTALLY_SERIAL_IDLE_STEP_H
