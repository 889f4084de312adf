// SPDX-License-Identifier: MIT
// The checks every typed operation makes before it touches the line.
#ifndef BRIMTALLY_OPERATION_H
#define BRIMTALLY_OPERATION_H

#include <cstdint>

#include "brimtally.h"
#include "serial/serial_port.h"

namespace bt {

// Refuses a null record (8), a record of another version (8) or a call while
// no port is open (9); the code is kept in Status where there is a record.
// Returns 0 and sets port when the operation may go ahead.
int16_t begin_operation(ModuleRecord* record, SerialPort*& port);

inline int16_t finish_operation(ModuleRecord& record, int16_t status) {
  record.Status = status;
  return status;
}

}  // namespace bt

#endif  // BRIMTALLY_OPERATION_H
