// SPDX-License-Identifier: MIT
// The RFC 2217 telnet session on libtelnet.
#include "serial/net/rfc2217_session.h"

#include <libtelnet.h>

namespace bt {

namespace {

constexpr unsigned char kComPortOption = 44;
constexpr uint8_t kAnswerOffset = 100;

// What we offer and accept; libtelnet refuses every other option.
constexpr telnet_telopt_t kOptions[] = {
    {TELNET_TELOPT_BINARY, TELNET_WILL, TELNET_DO},
    {TELNET_TELOPT_SGA, TELNET_WILL, TELNET_DO},
    {kComPortOption, TELNET_WILL, TELNET_DONT},
    {-1, 0, 0},
};

}  // namespace

Rfc2217Session::~Rfc2217Session() {
  if (telnet_ != nullptr) telnet_free(telnet_);
}

bool Rfc2217Session::start() {
  telnet_ = telnet_init(kOptions, &Rfc2217Session::on_event, 0, this);
  if (telnet_ == nullptr) return false;
  telnet_negotiate(telnet_, TELNET_WILL, kComPortOption);
  telnet_negotiate(telnet_, TELNET_WILL, TELNET_TELOPT_BINARY);
  telnet_negotiate(telnet_, TELNET_DO, TELNET_TELOPT_BINARY);
  telnet_negotiate(telnet_, TELNET_WILL, TELNET_TELOPT_SGA);
  telnet_negotiate(telnet_, TELNET_DO, TELNET_TELOPT_SGA);
  return true;
}

void Rfc2217Session::receive(const uint8_t* bytes, uint32_t length) {
  telnet_recv(telnet_, reinterpret_cast<const char*>(bytes), length);
}

void Rfc2217Session::send_data(const uint8_t* bytes, uint32_t length) {
  telnet_send(telnet_, reinterpret_cast<const char*>(bytes), length);
}

void Rfc2217Session::send_command(ComPortCommand command, const uint8_t* value, uint32_t length) {
  // No subnegotiation for an option the server has not agreed to.
  if (state_.option != ComPortState::Option::kAccepted) return;
  char body[8];
  body[0] = static_cast<char>(command);
  for (uint32_t i = 0; i < length && i + 1 < sizeof body; ++i) {
    body[i + 1] = static_cast<char>(value[i]);
  }
  telnet_subnegotiation(telnet_, kComPortOption, body, length + 1);
}

// An answer: the command code + 100, then the value the server has now.
void Rfc2217Session::answer(const uint8_t* bytes, uint32_t length) {
  if (length < 2 || bytes[0] <= kAnswerOffset) return;
  const uint8_t command = static_cast<uint8_t>(bytes[0] - kAnswerOffset);
  const uint8_t value = bytes[1];
  switch (command) {
    case kSetBaudrate:
      if (length < 5) return;
      state_.baud = static_cast<uint32_t>(bytes[1]) << 24 | static_cast<uint32_t>(bytes[2]) << 16 |
                    static_cast<uint32_t>(bytes[3]) << 8 | bytes[4];
      break;
    case kSetDatasize:
      state_.data_size = value;
      break;
    case kSetParity:
      state_.parity = value;
      break;
    case kSetStopsize:
      state_.stop_size = value;
      break;
    case kNotifyLinestate:
      // Break, framing, parity and overrun: the same bits as the line errors.
      state_.line |= value & 0x1E;
      break;
    case kNotifyModemstate:
      state_.modem = value;
      break;
    default:
      break;
  }
  if (command < 32) state_.answered |= 1u << command;
}

void Rfc2217Session::on_event(telnet_t*, telnet_event_t* event, void* self) {
  auto& session = *static_cast<Rfc2217Session*>(self);
  switch (event->type) {
    case TELNET_EV_DATA:
      session.received_.push(reinterpret_cast<const uint8_t*>(event->data.buffer),
                             static_cast<uint32_t>(event->data.size));
      break;
    case TELNET_EV_SEND:
      session.outgoing_.push(reinterpret_cast<const uint8_t*>(event->data.buffer),
                             static_cast<uint32_t>(event->data.size));
      break;
    case TELNET_EV_DO:
      if (event->neg.telopt == kComPortOption) {
        session.state_.option = ComPortState::Option::kAccepted;
      }
      break;
    case TELNET_EV_DONT:
      if (event->neg.telopt == kComPortOption) {
        session.state_.option = ComPortState::Option::kRefused;
      }
      break;
    case TELNET_EV_SUBNEGOTIATION:
      if (event->sub.telopt == kComPortOption) {
        session.answer(reinterpret_cast<const uint8_t*>(event->sub.buffer),
                       static_cast<uint32_t>(event->sub.size));
      }
      break;
    default:
      break;  // other commands, and libtelnet's own warnings, change nothing here
  }
}

}  // namespace bt
