// SPDX-License-Identifier: MIT
// The traffic trace: with BRIMTALLY_TRACE set to "stderr" or a file path, every
// line the library writes or reads is logged with a monotonic time in
// milliseconds, the port, the direction, the bytes (non-printable ones
// escaped) and the call's result. The variable is read once; while it is
// unset each hook costs one test of a cached flag.
#ifndef BRIMTALLY_SERIAL_TRAFFIC_TRACE_H
#define BRIMTALLY_SERIAL_TRAFFIC_TRACE_H

#include <cstdint>

#include "serial/serial_port.h"

namespace bt {

// True when BRIMTALLY_TRACE named a sink that could be opened.
bool trace_enabled();
// A finished port_read_line: the bytes stored and its result.
void trace_read(const SerialPort& port, const char* bytes, uint32_t length, int result);
// A finished port_write_string: the text, the terminator it appended and the
// port's status after the writes.
void trace_written(const SerialPort& port, const char* text, int terminator, int status);

// Logs a port_write_string when it returns, whichever way it returns: the
// result is then the port's status.
class WriteTrace {
 public:
  WriteTrace(SerialPort& port, const char* text, int terminator)
      : port_(port), text_(text), terminator_(terminator) {}
  WriteTrace(const WriteTrace&) = delete;
  WriteTrace& operator=(const WriteTrace&) = delete;
  ~WriteTrace() {
    if (trace_enabled()) trace_written(port_, text_, terminator_, port_.status);
  }

 private:
  SerialPort& port_;
  const char* text_;
  int terminator_;
};

}  // namespace bt

#endif  // BRIMTALLY_SERIAL_TRAFFIC_TRACE_H
