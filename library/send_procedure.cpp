// SPDX-License-Identifier: MIT
#include "send_procedure.h"

#include "record_text.h"

namespace bt {

namespace {
constexpr int kSendPauseMs = 50;
constexpr int kFlushReads = 3;
constexpr int kFlushTimeoutMs = 10;
constexpr uint32_t kLineCapacity = 100;
constexpr int kCarriageReturn = 13;
constexpr int kNoTerminator = -1;
}  // namespace

int send_command(SerialPort& port, const ModuleRecord& record) {
  port.ops->clear_status(port);
  port_delay(&port, kSendPauseMs);
  for (int i = 0; i < kFlushReads; ++i) {
    char stale[kLineCapacity];
    port_read_line(&port, stale, kLineCapacity, kCarriageReturn, kFlushTimeoutMs);
  }
  // What the flush met (an over-long stale line, noise) was stale input, not a
  // fault of this transaction. A device that has gone fails the write anyway.
  port.ops->clear_status(port);
  char line[BT_COMMAND_LEN + 1];
  set_field_text(line, field_text(record.CommandText));
  return port_write_string(&port, line, kNoTerminator);
}

}  // namespace bt
