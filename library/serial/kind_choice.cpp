// SPDX-License-Identifier: MIT
// Which driver kind opens a port, and the device name a port index stands
// for: the one place that tells the kinds apart.
#include <cstdio>
#include <cstdlib>

#include "serial/device_operations.h"
#include "serial/driver_kinds.h"

namespace bt {

DeviceOperations& choose_kind(const char* name) {
#ifdef _WIN32
  (void)name;
  return win32_kind();
#else
  // rfc2217:// and tcp:// name a line behind a serial device server; any
  // other name is a local terminal device.
  DeviceOperations& network = network_kind();
  return network.takes(name) ? network : posix_kind();
#endif
}

bool port_device_name(int index, char* name, size_t size) {
#ifdef _WIN32
  std::snprintf(name, size, "\\\\.\\COM%d", index + 1);
  return false;
#else
  // Port n is named by $BRIMTALLY_COM<n+1> when set, else /dev/ttyS<n>.
  char variable[32];
  std::snprintf(variable, sizeof variable, "BRIMTALLY_COM%d", index + 1);
  const char* chosen = index >= 0 ? std::getenv(variable) : nullptr;
  if (chosen != nullptr && *chosen != '\0') {
    std::snprintf(name, size, "%s", chosen);
    return true;
  }
  std::snprintf(name, size, "/dev/ttyS%d", index);
  return false;
#endif
}

}  // namespace bt
