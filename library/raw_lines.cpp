// Raw text lines for clients that frame and parse their own commands.
#include "brimtally.h"
#include "current_port.h"
#include "record_text.h"
#include "reply_reader.h"

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
  bt::port_write_string(port, line, kNoTerminator);
  return static_cast<int16_t>(text.size());
}

BT_API int16_t BT_CALL ex_read_line(ModuleRecord* record) {
  if (record == nullptr) return BT_WRONG_VERSION;
  bt::SerialPort* port = bt::current_port();
  if (port == nullptr) return BT_READ_ERROR;

  // A failure is reported by one read and then cleared, so an over-long line
  // or a failed write is seen once and does not turn every later read into an
  // error. A failure left by the write is reported before reading, so the
  // reply to whatever did get through stays queued.
  if (port->status < 0) {
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
