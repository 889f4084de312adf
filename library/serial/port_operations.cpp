// SPDX-License-Identifier: MIT
// The default operations: what a port answers before (or without) a device.
#include <new>

#include "serial/device_operations.h"
#include "serial/live_ports.h"
#include "serial/serial_port.h"

namespace bt {

namespace {

int not_supported(SerialPort& port) {
  port.status = kNotSupported;
  return kNotSupported;
}

}  // namespace

int PortOperations::read_char(SerialPort& port) {
  return not_supported(port);
}
int PortOperations::reserved_op_a(SerialPort& port) {
  return not_supported(port);
}
int PortOperations::write_char(SerialPort& port, int) {
  return not_supported(port);
}

int PortOperations::close(SerialPort& port) {
  unlink_port(&port);
  // The fallback object is shared and static: it is only taken off the list.
  if (&port != port_fallback()) delete &port;
  return kPortOk;
}

int PortOperations::set_params(SerialPort& port, int32_t, int, int, int) {
  return not_supported(port);
}
int PortOperations::set_xonxoff(SerialPort& port, int) {
  return not_supported(port);
}
int PortOperations::set_rtscts(SerialPort& port, int) {
  return not_supported(port);
}
int PortOperations::set_dtrdsr(SerialPort& port, int) {
  return not_supported(port);
}
int PortOperations::set_dtr(SerialPort& port, int) {
  return not_supported(port);
}
int PortOperations::set_rts(SerialPort& port, int) {
  return not_supported(port);
}
int PortOperations::tx_free(SerialPort& port) {
  return not_supported(port);
}
int PortOperations::tx_count(SerialPort& port) {
  return not_supported(port);
}
int PortOperations::rx_free(SerialPort& port) {
  return not_supported(port);
}
int PortOperations::rx_count(SerialPort& port) {
  return not_supported(port);
}
int PortOperations::clear_tx(SerialPort& port) {
  return not_supported(port);
}
int PortOperations::write_block(SerialPort& port, const void*, int) {
  return not_supported(port);
}
int PortOperations::read_block(SerialPort& port, void*, int) {
  return not_supported(port);
}

int PortOperations::dump(SerialPort& port, LinePrinter print_line) {
  if (print_line != nullptr) {
    print_line("Port dump not supported for this driver");
    print_line("");
  }
  return not_supported(port);
}

int PortOperations::send_break(SerialPort& port, int) {
  return not_supported(port);
}
int PortOperations::modem_status(SerialPort& port) {
  return not_supported(port);
}
int PortOperations::line_status(SerialPort& port) {
  return not_supported(port);
}
int PortOperations::clear_line_status(SerialPort& port) {
  return not_supported(port);
}
int PortOperations::reserved_op_b(SerialPort& port, int) {
  return not_supported(port);
}

SerialPort* PortOperations::clear_status(SerialPort& port) {
  port.status = kPortOk;
  return &port;
}

int PortOperations::unread(SerialPort& port, const uint8_t*, int) {
  return not_supported(port);
}

PortOperations& default_operations() {
  return operations_table<PortOperations>();
}

}  // namespace bt
