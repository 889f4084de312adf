// SPDX-License-Identifier: MIT
// What a client may ask of the driver beyond a status code: the current
// port's own status with its text, and whether a port name's options hold.
#include <cstdio>
#include <cstring>

#include "brimtally.h"
#include "current_port.h"
#include "serial/port_device.h"
#include "serial/port_options.h"

static_assert(int{BT_DRIVER_ECHO_MISMATCH} == bt::kEchoMismatch &&
                  int{BT_DRIVER_NO_ECHO} == bt::kNoEcho &&
                  int{BT_DRIVER_MODE_REFUSED} == bt::kLineModeRefused,
              "the public names of the driver's codes");

namespace {

void copy_text(const char* text, char* buffer, uint16_t size) {
  if (buffer != nullptr && size > 0) std::snprintf(buffer, size, "%s", text);
}

}  // namespace

extern "C" {

BT_API int32_t BT_CALL btPortStatus(char* buffer, uint16_t size) {
  const bt::SerialPort* port = bt::current_port();
  int32_t status = port != nullptr ? port->status : bt::kNotSetUp;
  // A query that failed has cleared the sticky status; its fault is kept.
  if (status == 0 && port->device != nullptr) status = port->device->transaction_fault;
  copy_text(bt::port_error_text(status), buffer, size);
  return status;
}

BT_API int16_t BT_CALL btPortCheckName(const char* name, char* buffer, uint16_t size) {
  copy_text("", buffer, size);
  if (name == nullptr || *name == '\0') {
    copy_text("no port name", buffer, size);
    return BT_BAD_PORT;
  }
  if (strnlen(name, bt::kLongestPortName + 1) > bt::kLongestPortName) {
    copy_text("the port name is longer than 4095 characters", buffer, size);
    return BT_BAD_PORT;
  }
  bt::PortOptions options;
  char why[256];
  if (bt::parse_port_options(name, options, why, sizeof why) < 0) {
    copy_text(why, buffer, size);
    return BT_BAD_PORT;
  }
  return BT_OK;
}

}  // extern "C"
