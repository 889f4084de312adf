// A network port's line settings sent to an RFC 2217 server, and the
// server's confirmations of them.
#ifndef BRIMTALLY_SERIAL_RFC2217_LINE_SETTINGS_H
#define BRIMTALLY_SERIAL_RFC2217_LINE_SETTINGS_H

#include <cstdint>

#include "serial/net_device.h"

namespace bt {

// How long the server may take to confirm the line settings or the purge.
constexpr uint32_t kConfirmMs = 1000;

// Sends baud, data size, parity and stop size, and waits (bounded) for the
// server to confirm them. 0; kGeneralError when the confirmations do not
// come or the connection is lost; the code of a setting the server holds at
// another value (kIllegalBaud, kInvalidParameter, kIllegalParity,
// kIllegalStopBits).
int send_line_settings(NetDevice& device);
// Sends flow control and the DTR and RTS lines. Servers need not confirm
// SET-CONTROL (ser2net in front of a pseudo-terminal never does), so nothing
// waits for it. False once the connection is lost.
bool send_control_lines(NetDevice& device);
// Asks the server to discard what it holds for us (PURGE-DATA receive) and
// then drops what has arrived so far; waits for the confirmation at most
// kConfirmMs. False once the connection is lost.
bool purge_input(NetDevice& device);

// The parity and stop-bit values of RFC 2217 as our codes, and back.
uint8_t rfc2217_parity(uint8_t parity_code);
uint8_t rfc2217_stop_size(uint8_t stop_bits_code);
uint8_t parity_code_of(uint8_t rfc2217_value);
uint8_t stop_bits_code_of(uint8_t rfc2217_value);

}  // namespace bt

#endif  // BRIMTALLY_SERIAL_RFC2217_LINE_SETTINGS_H
