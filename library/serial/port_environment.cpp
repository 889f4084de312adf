// SPDX-License-Identifier: MIT
// The process-wide environment record: idle hook, error-text hook and the
// queue sizes every port takes at open.
#include "serial/platform.h"
#include "serial/serial_port.h"

namespace bt {

namespace {

const char* no_error_text(int32_t) {
  return nullptr;
}

}  // namespace

PortEnvironment* port_environment() {
  // Made on first use and never released: ports keep a pointer to it.
  static PortEnvironment environment{platform::default_idle_hook, no_error_text, kDefaultQueueSize,
                                     kDefaultQueueSize};
  return &environment;
}

void set_idle_hook(IdleHook hook) {
  port_environment()->idle_hook = hook != nullptr ? hook : platform::default_idle_hook;
}

void set_error_text_hook(ErrorTextHook hook) {
  port_environment()->error_text_hook = hook != nullptr ? hook : no_error_text;
}

}  // namespace bt
