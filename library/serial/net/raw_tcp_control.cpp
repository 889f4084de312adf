// SPDX-License-Identifier: MIT
// A line behind a raw TCP port: bytes pass as they are, and the server's own
// configuration sets the line, so there is nothing to send or hear.
#include <cstdio>
#include <new>

#include "serial/net/line_control.h"
#include "serial/net/net_device.h"

namespace bt {

namespace {

class RawTcpControl final : public LineControl {
 public:
  int start(NetDevice&) override { return 0; }
  void take_input(NetDevice& device, const uint8_t* bytes, uint32_t length) override {
    device.received.push(bytes, length);
  }
  void put_output(NetDevice& device, const uint8_t* bytes, uint32_t length) override {
    device.outgoing.push(bytes, length);
  }
  int send_line_settings(NetDevice&) override { return 0; }
  int send_control_lines(NetDevice&) override { return 0; }
  void purge_transmit(NetDevice&) override {}
  void set_break(NetDevice&, bool) override {}
  int modem_status(NetDevice&) override { return 0; }  // raw TCP carries no modem lines
  uint32_t take_line_errors() override { return 0; }
  void describe(NetDevice& device, PortDumpFields& fields, char* text, size_t size) override {
    std::snprintf(text, size, "TCP %s port %u", device.name.host,
                  static_cast<unsigned>(device.name.port));
    fields.port_type = text;
  }
};

}  // namespace

std::unique_ptr<LineControl> make_raw_tcp_control() {
  return std::unique_ptr<LineControl>(new (std::nothrow) RawTcpControl());
}

}  // namespace bt
