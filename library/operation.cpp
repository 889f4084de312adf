// SPDX-License-Identifier: MIT
#include "operation.h"

#include "current_port.h"
#include "record_text.h"

namespace bt {

int16_t begin_operation(ModuleRecord* record, SerialPort*& port) {
  if (record == nullptr) return BT_WRONG_VERSION;
  if (!version_matches(*record)) return finish_operation(*record, BT_WRONG_VERSION);
  port = current_port();
  if (port == nullptr) return finish_operation(*record, BT_NO_PORT);
  return BT_OK;
}

}  // namespace bt
