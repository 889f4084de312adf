// SPDX-License-Identifier: MIT
// Sending a built command line: the pause, the input flush and the write.
#ifndef BRIMTALLY_SEND_PROCEDURE_H
#define BRIMTALLY_SEND_PROCEDURE_H

#include "brimtally.h"
#include "serial/serial_port.h"

namespace bt {

// The send procedure: clears the port's sticky status so that an earlier
// failure does not fail this transaction, waits the port's pause (50 ms),
// discards up to three stale input lines (each read waiting the port's drain,
// 10 ms), then writes CommandText as it stands. Returns the port's status
// after the write.
int send_command(SerialPort& port, const ModuleRecord& record);

}  // namespace bt

#endif  // BRIMTALLY_SEND_PROCEDURE_H
