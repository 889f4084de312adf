// SPDX-License-Identifier: MIT
// Raw text lines for clients that frame and parse their own commands.
#include "brimtally.h"
#include "current_port.h"
#include "record_text.h"
#include "reply_reader.h"
#include "serial/port_device.h"

namespace {
constexpr int kNoTerminator = -1;
}  // namespace

extern "C" {

BT_API int16_t BT_CALL ex_xmit_msg(ModuleRecord* record) {
  if (record == nullptr) return BT_WRONG_VERSION;
  bt::SerialPort* port = bt::current_port();
  if (port == nullptr) return 0;

  // The text ends just after its first CR: whatever the caller left behind it
  // (padding blanks, an older longer text) is not sent.
  bool seen_cr = false;
  for (char& c : record->MessageText) {
    if (seen_cr) c = '\0';
    if (c == '\r') seen_cr = true;
  }
  const std::string_view text = bt::field_text(record->MessageText);
  char line[BT_MESSAGE_LEN + 1];
  bt::set_field_text(line, text);

  port->ops->clear_status(*port);
  if (port->device != nullptr) port->device->transaction_fault = 0;
  bt::port_write_string(port, line, kNoTerminator);
  return static_cast<int16_t>(text.size());
}

BT_API int16_t BT_CALL ex_read_line(ModuleRecord* record) {
  // Positive results are character counts, so a null record is a failed read.
  if (record == nullptr) return BT_READ_ERROR;
  bt::SerialPort* port = bt::current_port();
  if (port == nullptr) return BT_READ_ERROR;

  // A failed write of ex_xmit_msg or a setting, which those calls do not
  // report, is reported here once, before reading, so the reply to whatever
  // did get through stays queued. Queries clear their own failures.
  if (port->status < 0) {
    if (port->device != nullptr) port->device->transaction_fault = port->status;
    port->ops->clear_status(*port);
    return BT_READ_ERROR;
  }
  const bt::LineRead read = bt::read_reply_line(*port, *record);
  switch (read.result) {
    case bt::kReadError:
      port->ops->clear_status(*port);
      return BT_READ_ERROR;
    case bt::kNothingArrived:
      return 0;
    default:
      return static_cast<int16_t>(read.kept);
  }
}

}  // extern "C"
