// SPDX-License-Identifier: MIT
#include "send_procedure.h"

#include "record_text.h"
#include "serial/port_device.h"

namespace bt {

namespace {
constexpr int kFlushReads = 3;
constexpr uint32_t kLineCapacity = 100;
constexpr int kCarriageReturn = 13;
constexpr int kNoTerminator = -1;
}  // namespace

int send_command(SerialPort& port, const ModuleRecord& record) {
  port.ops->clear_status(port);
  if (port.device != nullptr) port.device->transaction_fault = 0;
  // The waits are the port's own (its name's pause and drain options).
  const PortOptions waits = port.device != nullptr ? port.device->options : PortOptions{};
  port_delay(&port, waits.pause_ms);
  for (int i = 0; i < kFlushReads; ++i) {
    char stale[kLineCapacity];
    port_read_line(&port, stale, kLineCapacity, kCarriageReturn, waits.drain_ms);
  }
  // What the flush met (an over-long stale line, noise) was stale input, not a
  // fault of this transaction. A device that has gone fails the write anyway.
  port.ops->clear_status(port);
  char line[BT_COMMAND_LEN + 1];
  set_field_text(line, field_text(record.CommandText));
  return port_write_string(&port, line, kNoTerminator);
}

}  // namespace bt
