// SPDX-License-Identifier: MIT
// How a network port controls the serial line behind its server: raw TCP
// carries bytes only; RFC 2217 also sets the line and hears of its state.
#ifndef BRIMTALLY_SERIAL_NET_LINE_CONTROL_H
#define BRIMTALLY_SERIAL_NET_LINE_CONTROL_H

#include <cstddef>
#include <cstdint>
#include <memory>

#include "serial/port_dump.h"

namespace bt {

struct NetDevice;

class LineControl {
 public:
  virtual ~LineControl() = default;
  // Right after the connection: negotiation, then the lines raised and the
  // input flushed, as a serial port is at open. 0, kNoMemory, or the status
  // the open fails with.
  virtual int start(NetDevice& device) = 0;
  // Bytes from the socket; their line data goes to the received queue. No
  // more than the queue has room for (decoding never grows).
  virtual void take_input(NetDevice& device, const uint8_t* bytes, uint32_t length) = 0;
  // Line data for the socket, into the outgoing queue.
  virtual void put_output(NetDevice& device, const uint8_t* bytes, uint32_t length) = 0;
  // Rate and framing from the settings record: 0 or a negative status.
  virtual int send_line_settings(NetDevice& device) = 0;
  // Flow control and the DTR and RTS lines: 0, or kGeneralError once the
  // connection is lost or the server no longer takes them.
  virtual int send_control_lines(NetDevice& device) = 0;
  // Asks the server to discard the line data it holds for sending.
  virtual void purge_transmit(NetDevice& device) = 0;
  virtual void set_break(NetDevice& device, bool on) = 0;
  // The modem lines as modem_status reports them.
  virtual int modem_status(NetDevice& device) = 0;
  // Line-error bits heard since the last call.
  virtual uint32_t take_line_errors() = 0;
  // The dump's port type, and what the server confirmed of the settings.
  virtual void describe(NetDevice& device, PortDumpFields& fields, char* text, size_t size) = 0;
};

// Null when memory cannot be had.
std::unique_ptr<LineControl> make_raw_tcp_control();
std::unique_ptr<LineControl> make_rfc2217_control(NetDevice& device);

}  // namespace bt

#endif  // BRIMTALLY_SERIAL_NET_LINE_CONTROL_H
