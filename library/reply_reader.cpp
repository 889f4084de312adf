// SPDX-License-Identifier: MIT
#include "reply_reader.h"

#include "serial/port_device.h"

namespace bt {

namespace {
constexpr uint32_t kLineCapacity = 100;
constexpr int kCarriageReturn = 13;
// Bounds the discard, so that a line flooded with noise cannot hold the call.
constexpr int kMaxDiscardReads = 10;
}  // namespace

LineRead read_reply_line(SerialPort& port, ModuleRecord& record) {
  char line[kLineCapacity] = {};
  port_read_line(&port, line, kLineCapacity, kCarriageReturn, record.ReplyTimeout);
  if (port.status < 0) {
    if (port.device != nullptr) port.device->transaction_fault = port.status;
    return {kReadError, 0};
  }
  int received = port.count;
  if (received <= 0) return {kNothingArrived, 0};
  if (received > static_cast<int>(kLineCapacity) - 1) received = kLineCapacity - 1;

  // Control characters and bytes above 127 never reach ReplyText; NUL bytes
  // received inside a line are dropped like any other control character.
  int kept = 0;
  for (int i = 0; i < received; ++i) {
    const auto c = static_cast<unsigned char>(line[i]);
    if (c >= 32 && c <= 126) record.ReplyText[kept++] = static_cast<char>(c);
  }
  record.ReplyText[kept] = '\0';
  return {kLineRead, kept};
}

void discard_failed_reply(SerialPort& port, const ModuleRecord& record) {
  for (int i = 0; i < kMaxDiscardReads && port.status == kUserBufferOverflow; ++i) {
    port.ops->clear_status(port);
    char rest[kLineCapacity];
    port_read_line(&port, rest, kLineCapacity, kCarriageReturn, record.ReplyTimeout);
  }
  port.ops->clear_status(port);
}

}  // namespace bt
