// The seam between the portable driver and one platform's driver kind. Each
// kind provides these in its own files (posix_*.cpp, win32_*.cpp); the
// millisecond tick port_ticks() of serial_port.h comes from the kind as well.
#ifndef BRIMTALLY_SERIAL_PLATFORM_H
#define BRIMTALLY_SERIAL_PLATFORM_H

#include "serial/serial_port.h"

namespace bt::platform {

// Opens the device of port.port_index into an attached port object: makes
// its device block (without throwing), records the index and the kind, and
// leaves the settings changed in memory, not applied. Returns 0; kNoMemory
// when the device block cannot be had; or another negative status, which is
// also stored. On any failure port.device is left null and nothing is held.
int open_device(SerialPort& port);

// The kind's operations table: shared and stateless.
PortOperations& operations();

// Waits briefly for the port to have input, or sleeps briefly; returns 0.
int default_idle_hook(SerialPort* port);

}  // namespace bt::platform

#endif  // BRIMTALLY_SERIAL_PLATFORM_H
