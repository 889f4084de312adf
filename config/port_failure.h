// SPDX-License-Identifier: MIT
// Why a port could not be opened. The library answers only "could not open",
// so the device it tried is looked at again the way its driver opens it.
#pragma once

#include <QString>

#include "library_api.h"

// One line for the operator: no such device, in use by another program,
// permission denied (with the group that owns the device), not a serial
// device, or the system's own text for anything else; each with the device.
// The device is the one the library names for the port.
QString portOpenFailure(LibraryApi& library, int port);
