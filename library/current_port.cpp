// SPDX-License-Identifier: MIT
#include "current_port.h"

namespace bt {

namespace {
SerialPort* g_current_port = nullptr;
}  // namespace

SerialPort* current_port() {
  return g_current_port;
}

void set_current_port(SerialPort* port) {
  g_current_port = port;
}

}  // namespace bt
