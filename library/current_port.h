// SPDX-License-Identifier: MIT
// The one port the whole library talks through, whatever record is passed.
#ifndef BRIMTALLY_CURRENT_PORT_H
#define BRIMTALLY_CURRENT_PORT_H

#include "serial/serial_port.h"

namespace bt {

// nullptr while no port is open.
SerialPort* current_port();
void set_current_port(SerialPort* port);

}  // namespace bt

#endif  // BRIMTALLY_CURRENT_PORT_H
