// SPDX-License-Identifier: MIT
// The driver kinds of this host. Only the kind choice names them; each is
// defined in its own folder.
#ifndef BRIMTALLY_SERIAL_DRIVER_KINDS_H
#define BRIMTALLY_SERIAL_DRIVER_KINDS_H

#include "serial/device_operations.h"

namespace bt {

#ifdef _WIN32
DeviceOperations& win32_kind();
#else
DeviceOperations& posix_kind();
DeviceOperations& network_kind();
#endif

}  // namespace bt

#endif  // BRIMTALLY_SERIAL_DRIVER_KINDS_H
