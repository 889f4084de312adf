// SPDX-License-Identifier: MIT
// What the network driver kind does its own way: queues in front of a socket,
// and the line control for everything about the line itself.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <new>

#include "serial/driver_kinds.h"
#include "serial/net/net_device.h"

namespace bt {

DeviceOperations& network_kind() {
  return operations_table<NetOperations>();
}

int NetOperations::apply_line_settings(SerialPort& port) {
  NetDevice& device = net_device_of(port);
  return device.control->send_line_settings(device);
}

// Flow control and lines follow the record at once; a lost connection is
// the only failure.
int NetOperations::apply_control_lines(SerialPort& port) {
  NetDevice& device = net_device_of(port);
  return device.control->send_control_lines(device);
}

int NetOperations::release(SerialPort& port) {
  NetDevice& device = net_device_of(port);
  if (!device.gone) {
    // The lines drop as at a serial port's close; nothing waits for them.
    LineSettings& settings = device.settings;
    if (settings.dtr_control != kControlHandshake) settings.dtr_control = kControlDisable;
    if (settings.rts_control != kControlHandshake) settings.rts_control = kControlDisable;
    device.control->send_control_lines(device);
  }
  int32_t result = kPortOk;
  if (::close(device.fd) != 0 && errno != EINTR) result = kGeneralError;
  device.fd = -1;
  return result;
}

void NetOperations::collect_line_errors(SerialPort& port) {
  NetDevice& device = net_device_of(port);
  pull_input(device);
  device.line_errors |= device.control->take_line_errors();
}

int NetOperations::output_waiting(SerialPort& port) {
  NetDevice& device = net_device_of(port);
  push_output(device);
  return static_cast<int>(device.outgoing.size());
}

int NetOperations::input_waiting(SerialPort& port) {
  NetDevice& device = net_device_of(port);
  pull_input(device);
  return static_cast<int>(device.received.size());
}

int NetOperations::clear_tx(SerialPort& port) {
  NetDevice& device = net_device_of(port);
  device.control->purge_transmit(device);
  return push_output(device) ? 0 : fail(port, kGeneralError);
}

int NetOperations::transmit(SerialPort& port, const uint8_t* bytes, int length, int& queued) {
  NetDevice& device = net_device_of(port);
  if (device.gone) return kGeneralError;
  device.control->put_output(device, bytes, static_cast<uint32_t>(length));
  queued = length;
  return push_output(device) ? 0 : kGeneralError;
}

int NetOperations::receive(SerialPort& port, uint8_t* out, int length) {
  NetDevice& device = net_device_of(port);
  if (device.received.size() < static_cast<uint32_t>(length)) pull_input(device);
  const uint32_t got = device.received.take(out, static_cast<uint32_t>(length));
  // A connection the server closed is a device gone, never "nothing waiting".
  if (got == 0 && device.gone) return kGeneralError;
  return static_cast<int>(got);
}

void NetOperations::describe(SerialPort& port, PortDumpFields& fields, char* text, size_t size) {
  NetDevice& device = net_device_of(port);
  device.control->describe(device, fields, text, size);
}

void NetOperations::set_break(SerialPort& port, bool on) {
  NetDevice& device = net_device_of(port);
  device.control->set_break(device, on);
}

int NetOperations::modem_status(SerialPort& port) {
  NetDevice& device = net_device_of(port);
  pull_input(device);
  return device.control->modem_status(device);
}

}  // namespace bt
