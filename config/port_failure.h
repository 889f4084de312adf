// Why a port could not be opened. The library answers only "could not open",
// so the device it tried is looked at again the way its driver opens it.
#pragma once

#include <QString>

// The device the library opens for port 1 or 2: $BRIMTALLY_COM1 or
// $BRIMTALLY_COM2 when set, else /dev/ttyS0 or /dev/ttyS1.
QString portDevice(int port);

// One line for the operator: no such device, in use by another program,
// permission denied (with the group that owns the device), not a serial
// device, or the system's own text for anything else; each with the device.
QString portOpenFailure(int port);
