// SPDX-License-Identifier: MIT
// Why a serial device server cannot be used, found by connecting to it once
// more: the library's open reports only that it failed.
#ifndef BRIMTALLY_TOOLKIT_SERVER_CHECK_H
#define BRIMTALLY_TOOLKIT_SERVER_CHECK_H

#include "device_check.h"
#include "network_name.h"

namespace toolkit {

// How long the server may take to accept the connection, as the library waits.
inline constexpr int kServerConnectMs = 3000;

// Unknown host, refused, unreachable or silent, or a server that takes the
// connection and drops it (ser2net does so while another client holds the
// line); empty `what` when the server looks usable.
DeviceProblem diagnose_server(const NetworkName& name);

}  // namespace toolkit

#endif  // BRIMTALLY_TOOLKIT_SERVER_CHECK_H
