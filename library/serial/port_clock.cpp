// SPDX-License-Identifier: MIT
// The millisecond tick, read off the host's microsecond clock so that both
// count from the same instant.
#include "serial/serial_port.h"

namespace bt {

uint32_t port_ticks() {
  return static_cast<uint32_t>(port_micros() / 1000);
}

}  // namespace bt
