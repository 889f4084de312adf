// SPDX-License-Identifier: MIT
// What the host gives the portable driver, in each host's files
// (posix/posix_host.cpp, win32/win32_host.cpp); the microsecond clock
// port_micros() of serial_port.h comes from the host as well.
#ifndef BRIMTALLY_SERIAL_PLATFORM_H
#define BRIMTALLY_SERIAL_PLATFORM_H

#include <cstdint>

#include "serial/serial_port.h"

namespace bt::platform {

// False on a host that cannot drive serial ports at all; port_open then
// hands back the object with status "not supported".
bool host_supported();
// The default idle hook.
int default_idle_hook(SerialPort* port);
// The host's brief wait for a port that has no device to wait on. Returns 0.
int idle_without_device(SerialPort* port);

}  // namespace bt::platform

namespace bt {

// The default hook's wait for a caller that may wait up to us microseconds
// more, through the port's kind: it ends as soon as input arrives, but sleeps
// at most 1 ms while input already waits unread. A caller whose read has just
// come back empty says so with none_waiting, which spares the check for
// waiting input. Returns 0.
int default_idle_wait(SerialPort* port, uint64_t us, bool none_waiting);

}  // namespace bt

#endif  // BRIMTALLY_SERIAL_PLATFORM_H
