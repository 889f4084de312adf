// SPDX-License-Identifier: MIT
// What the port options ask of every kind's line, written once: opening into
// a mode, RTS raised around each write, and the echo read back before any
// other byte.
#include <algorithm>

#include "serial/device_operations.h"
#include "serial/echo_check.h"
#include "serial/idle_step.h"

namespace bt {

int DeviceOperations::begin(SerialPort& port, const char* name, const PortOptions& options) {
  const int opened = open(port, name, options);
  if (opened < 0) return opened;
  port.device->options = options;
  const int started = start_line_mode(port);
  if (started >= 0) return 0;
  // Released as a close would, so the device is free for the next open.
  release(port);
  delete port.device;
  port.device = nullptr;
  port.status = started;
  return started;
}

int DeviceOperations::start_line_mode(SerialPort& port) {
  const PortOptions& options = port.device->options;
  return options.rs485 != Rs485Mode::kOff || options.rts_toggle ? kLineModeRefused : 0;
}

int DeviceOperations::transmit_toggled(SerialPort& port, const uint8_t* bytes, int length,
                                       int& queued) {
  PortDevice& device = *port.device;
  if (length <= 0) return transmit(port, bytes, length, queued);
  // The transceiver drives the line only while RTS is up, so this write waits
  // for its bytes to leave: the one write that does, and only when asked.
  device.settings.rts_control = kControlEnable;
  apply_control_lines(port);
  port_delay(&port, device.options.rts_before_ms);
  const int result = transmit(port, bytes, length, queued);
  // Looked at every 100 us: RTS held long after the last stop bit would
  // drown the start of the module's reply.
  const WaitDeadline bound =
      WaitDeadline::after_ms(wire_time_ms(device.settings, length) + kEchoMarginMs);
  for (uint64_t left = bound.left(); result >= 0 && !transmitter_empty(port) && left > 0;
       left = bound.left()) {
    if (idle_step(*port.environment, &port, std::min<uint64_t>(left, 100), InputSeen::kUnknown) <
        0) {
      break;
    }
  }
  port_delay(&port, device.options.rts_after_ms);
  device.settings.rts_control = kControlDisable;
  apply_control_lines(port);
  return result;
}

int DeviceOperations::take_echo(SerialPort& port) {
  EchoCheck& echo = port.device->echo;
  uint8_t chunk[256];
  // Never more than the echo: what follows it is the caller's.
  while (echo.pending() > 0) {
    const int n = receive(port, chunk, std::min<int>(echo.pending(), sizeof chunk));
    if (n < 0) return n;
    if (n == 0) break;
    echo.compare(chunk, n);
  }
  echo.expire(port_ticks());
  return 0;
}

int DeviceOperations::settle_echo(SerialPort& port) {
  EchoCheck& echo = port.device->echo;
  for (;;) {
    if (const int gone = take_echo(port); gone < 0) return fail(port, gone);
    if (echo.pending() == 0) break;
    const uint64_t left = uint64_t{echo.time_left(port_ticks())} * 1000;
    if (const int hook = idle_step(*port.environment, &port, left, InputSeen::kNoneWaiting);
        hook < 0) {
      return hook;
    }
  }
  if (const int fault = echo.take_fault(); fault < 0) return fail(port, fault);
  return port.status;
}

int port_settle_echo(SerialPort& port) {
  return port.device != nullptr ? device_kind(port).settle_echo(port) : port.status;
}

uint32_t echo_time_left(SerialPort& port) {
  return port.device != nullptr ? port.device->echo.time_left(port_ticks()) : 0;
}

}  // namespace bt
