// SPDX-License-Identifier: MIT
// The options a port name may carry after "?", joined by "&"
// ("/dev/ttyUSB0?echo&pause=5"): how the line behaves beyond its rate and
// framing. Every kind takes them through the name, so every client does too.
#ifndef BRIMTALLY_SERIAL_PORT_OPTIONS_H
#define BRIMTALLY_SERIAL_PORT_OPTIONS_H

#include <cstddef>
#include <cstdint>

namespace bt {

enum class Rs485Mode : uint8_t {
  kOff,
  kRtsOnSend,   // rs485: the kernel raises RTS while sending
  kRtsLowSend,  // rs485=rts-low: the inverted polarity
};

struct PortOptions {
  bool echo = false;  // the line returns what we send
  Rs485Mode rs485 = Rs485Mode::kOff;
  bool rts_toggle = false;  // the driver raises RTS around each write
  int rts_before_ms = 0;
  int rts_after_ms = 0;
  int pause_ms = 50;  // before each command
  int drain_ms = 10;  // each stale-line read before a command
};

// Where the options of a port name begin (the "?"), or nullptr when it has none.
const char* port_options_start(const char* name);

// Reads the options of a port name into options; 0, or kInvalidPort with why
// naming the option (why may be nullptr). A name without options gives the
// defaults.
int parse_port_options(const char* name, PortOptions& options, char* why, size_t why_size);

}  // namespace bt

#endif  // BRIMTALLY_SERIAL_PORT_OPTIONS_H
