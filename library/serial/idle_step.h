// One idle step of a driver wait (a delay, or a read waiting for bytes).
#ifndef BRIMTALLY_SERIAL_IDLE_STEP_H
#define BRIMTALLY_SERIAL_IDLE_STEP_H

#include <cstdint>

#include "serial/serial_port.h"

namespace bt {

// The remaining time of a wait that ends only on input, failure or the hook.
inline constexpr uint32_t kNoDeadline = UINT32_MAX;

// Calls the environment's idle hook once. The default hook is handed the time
// the caller may still wait, so a quiet line costs one wake-up per wait rather
// than one every millisecond; a host's own hook runs as it always did.
int idle_step(PortEnvironment& environment, SerialPort* port, uint32_t remaining_ms);

}  // namespace bt

#endif  // BRIMTALLY_SERIAL_IDLE_STEP_H
