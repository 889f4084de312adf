// SPDX-License-Identifier: MIT
// Connecting a non-blocking TCP socket within a time bound.
#ifndef BRIMTALLY_SERIAL_NET_SOCKET_H
#define BRIMTALLY_SERIAL_NET_SOCKET_H

#include <cstdint>

#include "serial/net/net_port_name.h"

namespace bt {

// How long a connection may take to come up, over every address of the name.
constexpr uint32_t kConnectMs = 3000;

// A connected socket (non-blocking, close-on-exec, TCP_NODELAY), or a
// negative status: kNoDevice when the name has no address, nobody listens,
// or the host cannot be reached in time; kGeneralError otherwise.
int connect_socket(const NetPortName& name, uint32_t timeout_ms);

// Polls one descriptor for `events` until ready or `us` microseconds (at most
// a minute) have passed; an interrupted poll continues to the same deadline.
// poll's result.
int poll_until(int fd, short events, uint64_t us, short& revents);

}  // namespace bt

#endif  // BRIMTALLY_SERIAL_NET_SOCKET_H
