// SPDX-License-Identifier: MIT
// Reading one reply line from the port into ReplyText.
#ifndef BRIMTALLY_REPLY_READER_H
#define BRIMTALLY_REPLY_READER_H

#include "brimtally.h"
#include "serial/serial_port.h"

namespace bt {

enum ReadResult : int {
  kLineRead = 0,
  kReadError = 103,      // the driver reported an error; ReplyText unchanged
  kNothingArrived = 104  // no character within ReplyTimeout; ReplyText unchanged
};

struct LineRead {
  ReadResult result;
  int kept;  // characters stored in ReplyText
};

// Reads one line ending in CR within ReplyTimeout milliseconds (counted from
// the start of the read) and keeps its printable ASCII characters, codes 32 to
// 126, in ReplyText.
LineRead read_reply_line(SerialPort& port, ModuleRecord& record);

// Ends a transaction whose reply read failed: the rest of an over-long reply
// is read away, so that the next read does not take its tail for a line, and
// the failure, which the transaction reports itself, is cleared.
void discard_failed_reply(SerialPort& port, const ModuleRecord& record);

}  // namespace bt

#endif  // BRIMTALLY_REPLY_READER_H
