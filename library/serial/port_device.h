// SPDX-License-Identifier: MIT
// What every driver kind's device block holds: the queue sizes, one line
// settings record, the line errors and the bytes handed back by unread. Each
// kind derives its own block from it, so a port object points at this one.
#ifndef BRIMTALLY_SERIAL_PORT_DEVICE_H
#define BRIMTALLY_SERIAL_PORT_DEVICE_H

#include <cstdint>

#include "serial/echo_check.h"
#include "serial/line_codes.h"
#include "serial/port_options.h"
#include "serial/serial_port.h"

namespace bt {

// Control-line modes, with the values the dump prints.
enum ControlMode : uint8_t {
  kControlDisable = 0,
  kControlEnable = 1,
  kControlHandshake = 2,
  kControlToggle = 3,  // RTS only
};

// The line settings, changed in memory and then applied by the kind as a
// whole. Fields a kind has no counterpart for are kept for the dump only.
struct LineSettings {
  uint32_t baud;
  uint8_t byte_size;
  uint8_t parity;     // ParityCode
  uint8_t stop_bits;  // StopBitsCode
  bool binary;
  bool parity_check;
  bool outx_cts_flow;
  bool outx_dsr_flow;
  uint8_t dtr_control;  // ControlMode
  uint8_t rts_control;  // ControlMode
  bool outx;
  bool inx;
  bool null_discard;
  char xon_char;
  char xoff_char;
  uint16_t xon_lim;
  uint16_t xoff_lim;
  char eof_char;
  char evt_char;
};

// Line-error bits, shared with the dump (and the values Win32 reports).
constexpr uint32_t kLineRxOver = 0x0001;
constexpr uint32_t kLineOverrun = 0x0002;
constexpr uint32_t kLineParity = 0x0004;
constexpr uint32_t kLineFrame = 0x0008;
constexpr uint32_t kLineBreak = 0x0010;
// What line_status reports of them.
constexpr uint32_t kLineStatusBits = kLineBreak | kLineFrame | kLineOverrun | kLineParity;

struct PortDevice {
  explicit PortDevice(const PortEnvironment& environment)
      : rx_queue_size(environment.rx_queue_size), tx_queue_size(environment.tx_queue_size) {}
  virtual ~PortDevice() = default;
  PortDevice(const PortDevice&) = delete;
  PortDevice& operator=(const PortDevice&) = delete;

  uint32_t rx_queue_size;
  uint32_t tx_queue_size;
  LineSettings settings{};
  uint32_t line_errors = 0;
  uint32_t uart_base = 0;  // no such thing on these hosts; the dump shows 0
  // Bytes handed back by unread, delivered before anything from the device.
  uint8_t pushback[4]{};
  int pushback_count = 0;
  // The device name it was opened by, and whether the caller or the
  // environment chose it (else it is the port number's default).
  char name[kLongestPortName + 1]{};
  bool named = false;
  // What the port name asked of the line after its "?".
  PortOptions options;
  EchoCheck echo;
  // The driver's failure in the transaction under way or last ended, kept
  // after the transaction clears the sticky status for the next one.
  int32_t transaction_fault = 0;
};

// The settings every kind starts a port from: raw bytes, no flow control,
// DTR and RTS raised. Rate and framing are left as they are.
void prepare_line_settings(LineSettings& settings, uint32_t rx_queue_size);

// Queue room: size less what waits, never below 0.
inline int room(uint32_t size, int waiting) {
  const int free = static_cast<int>(size) - waiting;
  return free > 0 ? free : 0;
}

// Stores a failure in the port's sticky status and returns it.
inline int fail(SerialPort& port, int32_t code) {
  port.status = code;
  return code;
}

}  // namespace bt

#endif  // BRIMTALLY_SERIAL_PORT_DEVICE_H
