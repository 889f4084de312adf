// SPDX-License-Identifier: MIT
// The process-wide list of live port objects and the fallback object.
#ifndef BRIMTALLY_SERIAL_LIVE_PORTS_H
#define BRIMTALLY_SERIAL_LIVE_PORTS_H

#include "serial/serial_port.h"

namespace bt {

// The shared, stateless table of default operations.
PortOperations& default_operations();

// Gives a port object its first state: default operations, the environment,
// a place at the head of the live list (once), and the exit routine on the
// first call in the process.
void attach_port(SerialPort* port);
// Takes a port off the live list; a port not on it is left alone.
void unlink_port(SerialPort* port);
// Hands out the fallback object with status "no memory".
SerialPort* hand_out_fallback();

}  // namespace bt

#endif  // BRIMTALLY_SERIAL_LIVE_PORTS_H
