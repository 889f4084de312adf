// SPDX-License-Identifier: MIT
// A line behind an RFC 2217 server: the telnet session negotiates serial-port
// control, sends the settings record and hears the line's state.
#include <cstdio>
#include <new>

#include "serial/line_codes.h"
#include "serial/net/line_control.h"
#include "serial/net/net_device.h"
#include "serial/net/rfc2217_session.h"

namespace bt {

namespace {

// How long the server may take to accept COM-PORT-OPTION. A server that
// accepts the connection but never negotiates fails the open after this.
constexpr uint32_t kNegotiateMs = 3000;
// How long the server may take to confirm the line settings or the purge.
constexpr uint32_t kConfirmMs = 1000;

constexpr uint32_t kSettingAnswers =
    1u << kSetBaudrate | 1u << kSetDatasize | 1u << kSetParity | 1u << kSetStopsize;

// The parity and stop-bit values of RFC 2217 as our codes, and back.
uint8_t rfc2217_parity(uint8_t parity_code) {
  return static_cast<uint8_t>(parity_code + 1);
}
uint8_t parity_code_of(uint8_t rfc2217_value) {
  if (rfc2217_value < 1 || rfc2217_value > 5) return kParityNone;
  return static_cast<uint8_t>(rfc2217_value - 1);
}
uint8_t rfc2217_stop_size(uint8_t stop_bits_code) {
  return stop_bits_code == kStopTwo ? 2 : stop_bits_code == kStopOneAndHalf ? 3 : 1;
}
uint8_t stop_bits_code_of(uint8_t rfc2217_value) {
  if (rfc2217_value == 2) return kStopTwo;
  return rfc2217_value == 3 ? kStopOneAndHalf : kStopOne;
}

uint8_t outbound_flow(const LineSettings& s) {
  if (s.outx_cts_flow) return kOutboundHardware;
  if (s.outx_dsr_flow) return kOutboundDsr;
  return s.outx ? kOutboundXonXoff : kOutboundNone;
}

uint8_t inbound_flow(const LineSettings& s) {
  if (s.rts_control == kControlHandshake) return kInboundHardware;
  if (s.dtr_control == kControlHandshake) return kInboundDtr;
  return s.inx ? kInboundXonXoff : kInboundNone;
}

class Rfc2217Control final : public LineControl {
 public:
  explicit Rfc2217Control(NetDevice& device) : session_(device.received, device.outgoing) {}

  int start(NetDevice& device) override {
    if (!session_.start()) return kNoMemory;
    const auto decided = [this] {
      return session_.state().option != ComPortState::Option::kPending;
    };
    if (!exchange_until(device, kNegotiateMs, decided)) {
      return device.gone ? kGeneralError : kNoDevice;
    }
    // A telnet server that will not act as a serial port is no port of ours.
    if (session_.state().option != ComPortState::Option::kAccepted) return kNoDevice;
    // Break, framing, parity and overrun notifications; servers start with none.
    session_.send_command(kSetLinestateMask, 0x1E);
    if (send_control_lines(device) < 0 || !purge_input(device)) return kGeneralError;
    return 0;
  }

  void take_input(NetDevice&, const uint8_t* bytes, uint32_t length) override {
    session_.receive(bytes, length);
  }
  void put_output(NetDevice&, const uint8_t* bytes, uint32_t length) override {
    session_.send_data(bytes, length);
  }

  // Sends baud, data size, parity and stop size, and waits (bounded) for the
  // server to confirm them. 0; kGeneralError when the confirmations do not
  // come, the server withdraws the option or the connection is lost; the
  // code of a setting the server holds at another value.
  int send_line_settings(NetDevice& device) override {
    if (!accepted()) return kGeneralError;
    const LineSettings& s = device.settings;
    const uint8_t baud[4] = {static_cast<uint8_t>(s.baud >> 24), static_cast<uint8_t>(s.baud >> 16),
                             static_cast<uint8_t>(s.baud >> 8), static_cast<uint8_t>(s.baud)};
    session_.state().answered &= ~kSettingAnswers;
    session_.send_command(kSetBaudrate, baud, sizeof baud);
    session_.send_command(kSetDatasize, s.byte_size);
    session_.send_command(kSetParity, rfc2217_parity(s.parity));
    session_.send_command(kSetStopsize, rfc2217_stop_size(s.stop_bits));
    const auto answered = [this] {
      return !accepted() || (session_.state().answered & kSettingAnswers) == kSettingAnswers;
    };
    if (!exchange_until(device, kConfirmMs, answered) || !accepted()) return kGeneralError;

    const ComPortState& held = session_.state();
    if (held.baud != s.baud) return kIllegalBaud;
    if (held.data_size != s.byte_size) return kInvalidParameter;
    if (held.parity != rfc2217_parity(s.parity)) return kIllegalParity;
    if (held.stop_size != rfc2217_stop_size(s.stop_bits)) return kIllegalStopBits;
    return 0;
  }

  // Servers need not confirm SET-CONTROL (ser2net in front of a
  // pseudo-terminal never does), so nothing waits for it.
  int send_control_lines(NetDevice& device) override {
    if (!accepted()) return kGeneralError;
    const LineSettings& s = device.settings;
    session_.send_command(kSetControl, outbound_flow(s));
    session_.send_command(kSetControl, inbound_flow(s));
    if (s.dtr_control != kControlHandshake) {
      session_.send_command(kSetControl, s.dtr_control == kControlEnable ? kDtrOn : kDtrOff);
    }
    if (s.rts_control != kControlHandshake) {
      session_.send_command(kSetControl, s.rts_control == kControlEnable ? kRtsOn : kRtsOff);
    }
    return push_output(device) ? 0 : kGeneralError;
  }

  // What the socket has not taken yet may hold telnet commands, which must
  // still go; the server discards the line data it holds.
  void purge_transmit(NetDevice&) override { session_.send_command(kPurgeData, kPurgeTransmit); }

  void set_break(NetDevice& device, bool on) override {
    session_.send_command(kSetControl, on ? kBreakOn : kBreakOff);
    push_output(device);
  }

  int modem_status(NetDevice&) override { return session_.state().modem & 0xF0; }

  uint32_t take_line_errors() override {
    const uint32_t line = session_.state().line;
    session_.state().line = 0;
    return line;
  }

  // The server's confirmed values, not what was asked for.
  void describe(NetDevice& device, PortDumpFields& fields, char* text, size_t size) override {
    const ComPortState& held = session_.state();
    std::snprintf(text, size, "RFC 2217 %s port %u", device.name.host,
                  static_cast<unsigned>(device.name.port));
    fields.port_type = text;
    fields.baud = held.baud;
    fields.byte_size = held.data_size;
    fields.parity = parity_code_of(held.parity);
    fields.stop_bits = stop_bits_code_of(held.stop_size);
  }

 private:
  // A server that withdrew COM-PORT-OPTION (DONT) sets nothing any more: the
  // line's data still passes, its settings fail.
  bool accepted() { return session_.state().option == ComPortState::Option::kAccepted; }

  // Asks the server to discard what it holds for us (PURGE-DATA receive) and
  // then drops what has arrived so far; waits for the confirmation at most
  // kConfirmMs. False once the connection is lost.
  bool purge_input(NetDevice& device) {
    session_.state().answered &= ~(1u << kPurgeData);
    session_.send_command(kPurgeData, kPurgeReceive);
    // An unconfirmed purge still leaves the port usable: stale input is what
    // the library's send procedure discards anyway.
    const bool confirmed = exchange_until(
        device, kConfirmMs, [this] { return (session_.state().answered & 1u << kPurgeData) != 0; });
    device.received.clear();
    return confirmed || !device.gone;
  }

  Rfc2217Session session_;
};

}  // namespace

std::unique_ptr<LineControl> make_rfc2217_control(NetDevice& device) {
  return std::unique_ptr<LineControl>(new (std::nothrow) Rfc2217Control(device));
}

}  // namespace bt
