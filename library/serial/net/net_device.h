// SPDX-License-Identifier: MIT
// The network driver kind: a serial line behind a serial device server,
// reached over TCP. How the line itself is controlled (raw TCP: not at all;
// RFC 2217: telnet with serial-port control) is the device's line control.
// Sockets are non-blocking; every wait goes through poll.
#ifndef BRIMTALLY_SERIAL_NET_NET_DEVICE_H
#define BRIMTALLY_SERIAL_NET_NET_DEVICE_H

#include <cstdint>
#include <memory>

#include "serial/device_operations.h"
#include "serial/idle_step.h"
#include "serial/net/line_control.h"
#include "serial/net/net_byte_queue.h"
#include "serial/net/net_port_name.h"
#include "serial/port_device.h"

namespace bt {

struct NetDevice final : PortDevice {
  using PortDevice::PortDevice;
  ~NetDevice() override;

  NetPortName name{};
  int fd = -1;
  bool gone = false;   // the server closed the connection, or it broke
  ByteQueue received;  // line data not yet read
  ByteQueue outgoing;  // bytes for the socket (telnet-encoded for RFC 2217)
  std::unique_ptr<LineControl> control;
};

// The block of a port of this kind.
inline NetDevice& net_device_of(SerialPort& port) {
  return static_cast<NetDevice&>(*port.device);
}

// Moves what the socket has into the received queue (through the line
// control), as far as the queue has room. False once the connection is gone.
bool pull_input(NetDevice& device);
// Hands the outgoing queue to the socket as far as it takes it now. False
// once the connection is gone.
bool push_output(NetDevice& device);
// Waits in poll, at most us microseconds, until the socket can be read (or
// written, with output waiting), then moves bytes both ways. False once the
// connection is gone. Interrupted polls continue to the same deadline.
bool exchange(NetDevice& device, uint64_t us);
// Exchanges until done() or the deadline; false on the deadline or a lost
// connection.
template <typename Done>
bool exchange_until(NetDevice& device, uint32_t ms, Done done) {
  const WaitDeadline deadline = WaitDeadline::after_ms(ms);
  for (;;) {
    if (!push_output(device) || !pull_input(device)) return false;
    if (done()) return true;
    const uint64_t left = deadline.left();
    if (left == 0 || !exchange(device, left)) return false;
  }
}

class NetOperations final : public DeviceOperations {
  BRIMTALLY_DEVICE_STEPS

 public:
  NetOperations() : DeviceOperations(kDriverKindNetwork) {}

 public:
  bool takes(const char* name) const override;

 protected:
  int apply_control_lines(SerialPort& port) override;
};

}  // namespace bt

#endif  // BRIMTALLY_SERIAL_NET_NET_DEVICE_H
