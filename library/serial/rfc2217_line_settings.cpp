// Line settings over RFC 2217.
#include "serial/rfc2217_line_settings.h"

namespace bt {

namespace {

constexpr uint32_t kSettingAnswers =
    1u << kSetBaudrate | 1u << kSetDatasize | 1u << kSetParity | 1u << kSetStopsize;

bool settings_answered(NetDevice& device) {
  return (device.session->state().answered & kSettingAnswers) == kSettingAnswers;
}

bool purge_answered(NetDevice& device) {
  return (device.session->state().answered & 1u << kPurgeData) != 0;
}

uint8_t outbound_flow(const NetLineSettings& s) {
  if (s.outx_cts_flow) return kOutboundHardware;
  if (s.outx_dsr_flow) return kOutboundDsr;
  return s.outx ? kOutboundXonXoff : kOutboundNone;
}

uint8_t inbound_flow(const NetLineSettings& s) {
  if (s.rts_handshake) return kInboundHardware;
  if (s.dtr_handshake) return kInboundDtr;
  return s.inx ? kInboundXonXoff : kInboundNone;
}

}  // namespace

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

int send_line_settings(NetDevice& device) {
  Rfc2217Session& session = *device.session;
  const NetLineSettings& s = device.settings;
  const uint8_t baud[4] = {static_cast<uint8_t>(s.baud >> 24), static_cast<uint8_t>(s.baud >> 16),
                           static_cast<uint8_t>(s.baud >> 8), static_cast<uint8_t>(s.baud)};
  session.state().answered &= ~kSettingAnswers;
  session.send_command(kSetBaudrate, baud, sizeof baud);
  session.send_command(kSetDatasize, s.byte_size);
  session.send_command(kSetParity, rfc2217_parity(s.parity));
  session.send_command(kSetStopsize, rfc2217_stop_size(s.stop_bits));
  if (!exchange_until(device, kConfirmMs, settings_answered)) return kGeneralError;

  const ComPortState& held = session.state();
  if (held.baud != s.baud) return kIllegalBaud;
  if (held.data_size != s.byte_size) return kInvalidParameter;
  if (held.parity != rfc2217_parity(s.parity)) return kIllegalParity;
  if (held.stop_size != rfc2217_stop_size(s.stop_bits)) return kIllegalStopBits;
  return 0;
}

bool send_control_lines(NetDevice& device) {
  Rfc2217Session& session = *device.session;
  const NetLineSettings& s = device.settings;
  session.send_command(kSetControl, outbound_flow(s));
  session.send_command(kSetControl, inbound_flow(s));
  if (!s.dtr_handshake) session.send_command(kSetControl, s.dtr ? kDtrOn : kDtrOff);
  if (!s.rts_handshake) session.send_command(kSetControl, s.rts ? kRtsOn : kRtsOff);
  return push_output(device);
}

bool purge_input(NetDevice& device) {
  device.session->state().answered &= ~(1u << kPurgeData);
  device.session->send_command(kPurgeData, kPurgeReceive);
  // An unconfirmed purge still leaves the port usable: stale input is what
  // the library's send procedure discards anyway.
  const bool confirmed = exchange_until(device, kConfirmMs, purge_answered);
  device.received.clear();
  return confirmed || !device.gone;
}

}  // namespace bt
