// The seam between the portable driver and one platform's driver kind. Each
// kind provides these in its own files (posix_*.cpp, win32_*.cpp); the
// millisecond tick port_ticks() of serial_port.h comes from the kind as well.
#ifndef BRIMTALLY_SERIAL_PLATFORM_H
#define BRIMTALLY_SERIAL_PLATFORM_H

#include "serial/serial_port.h"

namespace bt::platform {

// False on a host that cannot drive serial ports at all; port_open then
// hands back the object with status "not supported".
bool host_supported();

// Opens the device of port.port_index into an attached port object: makes
// its device block (without throwing), records the kind, and prepares the
// settings record; port_open then applies the line parameters through the
// kind's set_params and installs its operations. Returns 0; kNoMemory
// when the device block cannot be had; or another negative status, which is
// also stored. On any failure port.device is left null and nothing is held.
int open_device(SerialPort& port);

// The operations table of the kind open_device chose for the port: shared,
// stateless, never destroyed (ports still open at exit are closed through
// it). It should provide unread, so that an over-long line loses nothing.
PortOperations& operations(const SerialPort& port);

// Waits briefly for the port to have input, or sleeps briefly; returns 0.
int default_idle_hook(SerialPort* port);
// The same wait for a caller that may wait up to ms milliseconds more: it ends
// as soon as input arrives, but sleeps at most 1 ms while input already waits
// unread. A caller whose read has just come back empty says so with
// none_waiting, which spares the check for waiting input. Returns 0.
int default_idle_wait(SerialPort* port, uint32_t ms, bool none_waiting);

}  // namespace bt::platform

#endif  // BRIMTALLY_SERIAL_PLATFORM_H
