// SPDX-License-Identifier: MIT
// Single modem-line tests on top of a port's modem_status operation.
#include "serial/serial_port.h"

namespace bt {

namespace {

int modem_line(SerialPort* port, int mask) {
  const int status = port->ops->modem_status(*port);
  return status <= 0 ? status : status & mask;
}

}  // namespace

int cts_on(SerialPort* port) {
  return modem_line(port, 0x10);
}
int dsr_on(SerialPort* port) {
  return modem_line(port, 0x20);
}
int ri_on(SerialPort* port) {
  return modem_line(port, 0x40);
}
int cd_on(SerialPort* port) {
  return modem_line(port, 0x80);
}

}  // namespace bt
