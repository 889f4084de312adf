// SPDX-License-Identifier: MIT
// Line transfers built on a port's operations: one received line up to a
// terminator within a time-out, and a text with an optional terminator.
#include <cstring>

#include "serial/echo_check.h"
#include "serial/idle_step.h"
#include "serial/serial_port.h"
#include "serial/traffic_trace.h"

namespace bt {

namespace {

constexpr int kCarriageReturn = 13;
constexpr int kLineFeed = 10;
// -2 means the CR LF pair: ends a read line, and is appended when writing.
constexpr int kTerminatorCrLf = -2;

bool valid_terminator(int terminator) {
  return terminator >= kTerminatorCrLf && terminator <= 255;
}

int refuse(SerialPort* port) {
  if (port != nullptr) port->status = kInvalidParameter;
  return kInvalidParameter;
}

class LineCollector {
 public:
  LineCollector(SerialPort& port, char* buffer, uint32_t capacity)
      : port_(port), buffer_(buffer), room_(capacity - 1) {}

  bool full() const { return stored_ == room_; }
  void store(int c) { buffer_[stored_++] = static_cast<char>(c); }

  int finish(int result) {
    buffer_[stored_] = '\0';
    port_.count = static_cast<int32_t>(stored_);
    trace_read(port_, buffer_, stored_, result);
    return result;
  }

  // The bytes read but not stored go back in front of the receive queue, so
  // the next read starts where this line was cut.
  int overflow(bool held_cr, int c = -1) {
    uint8_t back[2];
    int n = 0;
    if (held_cr) back[n++] = kCarriageReturn;
    if (c >= 0) back[n++] = static_cast<uint8_t>(c);
    port_.ops->unread(port_, back, n);
    port_.status = kUserBufferOverflow;
    return finish(kUserBufferOverflow);
  }

 private:
  SerialPort& port_;
  char* buffer_;
  uint32_t room_;
  uint32_t stored_ = 0;
};

}  // namespace

int port_read_line(SerialPort* port, char* buffer, uint32_t capacity, int terminator,
                   int32_t timeout_ms) {
  // -1 is "no limit"; other negative time-outs expire at once.
  const WaitDeadline deadline =
      timeout_ms == -1 ? WaitDeadline::none() : WaitDeadline::after_ms(timeout_ms);
  if (port == nullptr || buffer == nullptr || capacity < 2 || !valid_terminator(terminator)) {
    return refuse(port);
  }
  LineCollector line(*port, buffer, capacity);
  int previous = 0;
  for (;;) {
    const int c = port->ops->read_char(*port);
    if (c == kBufferEmpty) {
      uint64_t remaining = deadline.left();
      if (remaining == 0) {
        // An echo still due is waited out, so its fault is this read's.
        remaining = uint64_t{echo_time_left(*port)} * 1000;
        if (remaining == 0) break;
      }
      const int hook = idle_step(*port->environment, port, remaining, InputSeen::kNoneWaiting);
      if (hook < 0) return line.finish(hook);
      continue;
    }
    if (c < 0) {
      port->status = c;
      return line.finish(c);
    }
    if (c == kLineFeed && previous == kCarriageReturn && terminator < 0) {
      return line.finish(port->status);
    }
    const bool held_cr = previous == kCarriageReturn;
    if (held_cr) {
      if (line.full()) return line.overflow(true, c);
      line.store(kCarriageReturn);
    }
    if (c == terminator) return line.finish(port->status);
    previous = c;
    if (c == kCarriageReturn) continue;  // held until the next byte shows what it is
    if (line.full()) return line.overflow(false, c);
    line.store(c);
  }
  // Time-out: a held carriage return is text unless it may start a CR LF pair.
  if (previous == kCarriageReturn && terminator >= 0) {
    if (line.full()) return line.overflow(true);
    line.store(kCarriageReturn);
  }
  return line.finish(kBufferEmpty);
}

int port_write_string(SerialPort* port, const char* text, int terminator) {
  if (port == nullptr) return kInvalidParameter;
  port->count = 0;
  const WriteTrace trace(*port, text, terminator);
  if (text == nullptr || !valid_terminator(terminator)) return refuse(port);
  const size_t length = std::strlen(text);
  port->ops->write_block(*port, text, static_cast<int>(length));
  if (port->status < 0) return port->status;
  if (terminator >= 0) {
    port->ops->write_char(*port, terminator);
  } else if (terminator == kTerminatorCrLf) {
    port->ops->write_char(*port, kCarriageReturn);
    port->ops->write_char(*port, kLineFeed);
  }
  return port->status;
}

}  // namespace bt
