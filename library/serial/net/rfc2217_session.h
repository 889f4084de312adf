// SPDX-License-Identifier: MIT
// The telnet side of an RFC 2217 port: option negotiation, the COM-PORT-OPTION
// commands and the server's answers, and data with 0xFF doubled, through
// libtelnet. Received data goes to one queue, bytes for the socket to another.
#ifndef BRIMTALLY_SERIAL_RFC2217_SESSION_H
#define BRIMTALLY_SERIAL_RFC2217_SESSION_H

#include <cstdint>

#include "serial/net/net_byte_queue.h"

struct telnet_t;
union telnet_event_t;

namespace bt {

// COM-PORT-OPTION commands (the server answers each with the code + 100).
enum ComPortCommand : uint8_t {
  kSetBaudrate = 1,
  kSetDatasize = 2,
  kSetParity = 3,
  kSetStopsize = 4,
  kSetControl = 5,
  kNotifyLinestate = 6,
  kNotifyModemstate = 7,
  kSetLinestateMask = 10,
  kPurgeData = 12,
};

// SET-CONTROL values used here.
enum ControlValue : uint8_t {
  kOutboundNone = 1,
  kOutboundXonXoff = 2,
  kOutboundHardware = 3,
  kBreakOn = 5,
  kBreakOff = 6,
  kDtrOn = 8,
  kDtrOff = 9,
  kRtsOn = 11,
  kRtsOff = 12,
  kInboundNone = 14,
  kInboundXonXoff = 15,
  kInboundHardware = 16,
  kInboundDtr = 18,
  kOutboundDsr = 19,
};

// PURGE-DATA values.
constexpr uint8_t kPurgeReceive = 1;
constexpr uint8_t kPurgeTransmit = 2;

// What the server has said about the line.
struct ComPortState {
  enum class Option : uint8_t { kPending, kAccepted, kRefused } option;
  uint32_t answered;  // bit n: the answer to command n arrived since last cleared
  uint32_t baud;      // as confirmed
  uint8_t data_size;
  uint8_t parity;     // RFC 2217 value: 1 none, 2 odd, 3 even, 4 mark, 5 space
  uint8_t stop_size;  // 1 one, 2 two, 3 one and a half
  uint8_t modem;      // last NOTIFY-MODEMSTATE
  uint8_t line;       // line-error bits of NOTIFY-LINESTATE, collected
};

class Rfc2217Session {
 public:
  Rfc2217Session(ByteQueue& received, ByteQueue& outgoing)
      : received_(received), outgoing_(outgoing) {}
  ~Rfc2217Session();
  Rfc2217Session(const Rfc2217Session&) = delete;
  Rfc2217Session& operator=(const Rfc2217Session&) = delete;

  // Makes the telnet state and asks for COM-PORT-OPTION, BINARY both ways and
  // SUPPRESS-GO-AHEAD. False when memory cannot be had.
  bool start();
  // Bytes from the socket; their data goes to the received queue. The caller
  // passes no more than the received queue has room for (decoding never grows).
  void receive(const uint8_t* bytes, uint32_t length);
  // Data for the line, escaped.
  void send_data(const uint8_t* bytes, uint32_t length);
  // Nothing goes while the server has not accepted COM-PORT-OPTION.
  void send_command(ComPortCommand command, const uint8_t* value, uint32_t length);
  void send_command(ComPortCommand command, uint8_t value) { send_command(command, &value, 1); }

  ComPortState& state() { return state_; }

 private:
  static void on_event(telnet_t* telnet, telnet_event_t* event, void* self);
  void answer(const uint8_t* bytes, uint32_t length);

  ByteQueue& received_;
  ByteQueue& outgoing_;
  telnet_t* telnet_ = nullptr;
  ComPortState state_{};
};

}  // namespace bt

#endif  // BRIMTALLY_SERIAL_RFC2217_SESSION_H
