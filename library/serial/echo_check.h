// SPDX-License-Identifier: MIT
// The echo of a line that returns what we send: the bytes written are expected
// back, in order, before anything else is read, and compared as they come.
#ifndef BRIMTALLY_SERIAL_ECHO_CHECK_H
#define BRIMTALLY_SERIAL_ECHO_CHECK_H

#include <cstdint>

namespace bt {

struct LineSettings;
struct SerialPort;

// Beyond the echo's wire time: a USB adapter's latency, a device server's round trip.
constexpr uint32_t kEchoMarginMs = 100;

class EchoCheck {
 public:
  // Bytes just handed to the device; their echo is due by now + wire_ms + the margin.
  void expect(const uint8_t* bytes, int length, uint32_t now, uint32_t wire_ms);
  // Bytes of the echo still to come.
  int pending() const { return held_ + unchecked_; }
  // Takes bytes received while the echo is pending (at most pending()).
  void compare(const uint8_t* bytes, int length);
  // Ends an echo overdue at now with what has arrived.
  void expire(uint32_t now);
  // Milliseconds until the echo is overdue; 0 when none is pending.
  uint32_t time_left(uint32_t now) const;
  // The fault of the echo that ended last (kEchoMismatch, kNoEcho), handed out
  // once; 0 when it came back whole or is still coming.
  int take_fault();

 private:
  void end(bool cut_short);

  static constexpr int kCapacity = 4096;
  uint8_t expected_[kCapacity]{};
  int head_ = 0;
  int held_ = 0;       // expected bytes kept for comparison
  int unchecked_ = 0;  // written beyond what is kept: discarded unseen
  int received_ = 0;
  int matched_ = 0;
  bool first_differs_ = false;
  uint32_t deadline_ = 0;
  int fault_ = 0;
};

// How long a read of the port must still wait for its echo; 0 when none is due.
uint32_t echo_time_left(SerialPort& port);

// Waits for the echo due on the port, if any; its status afterwards.
int port_settle_echo(SerialPort& port);

// The time bytes take on the wire at the settings' rate and framing.
uint32_t wire_time_ms(const LineSettings& settings, int bytes);

}  // namespace bt

#endif  // BRIMTALLY_SERIAL_ECHO_CHECK_H
