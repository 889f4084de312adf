// SPDX-License-Identifier: MIT
// Why a connection to the broker failed, in words a user can act on. Paho
// reports every failure below MQTT as one code, so the gateway looks for
// itself: can the name be resolved, does anything accept TCP there.
#ifndef BRIMTALLY_GATEWAY_BROKER_PROBE_H
#define BRIMTALLY_GATEWAY_BROKER_PROBE_H

#include <chrono>
#include <string>

#include "broker_address.h"

namespace gateway {

// Resolves the host and opens one TCP connection, within `bound`. "" when
// it connects; else what stands in the way, and what to check.
std::string tcp_problem(const BrokerAddress& broker, std::chrono::milliseconds bound);

// The failure of a connection attempt that reached no MQTT answer: the TCP
// problem when there is one, else what TLS or a non-MQTT port would explain.
std::string connect_problem(const BrokerAddress& broker, std::chrono::milliseconds bound);

}  // namespace gateway

#endif  // BRIMTALLY_GATEWAY_BROKER_PROBE_H
