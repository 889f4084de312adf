// SPDX-License-Identifier: MIT
// What the Win32 host gives the driver: the host check, its millisecond tick
// and the default idle hook, which keeps the calling thread's windows alive
// during a wait.
#include "serial/platform.h"
#include "serial/win32/win32_device.h"

namespace bt {

uint32_t port_ticks() {
  return GetTickCount();
}

namespace platform {

// A 16-bit Windows host running the 32-bit subset has no usable serial API.
bool host_supported() {
  const DWORD version = GetVersion();
  return !((version & 0x80000000u) != 0 && (version & 0xFFu) == 3);
}

int default_idle_hook(SerialPort*) {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return 0;
}

int idle_without_device(SerialPort* port) {
  return default_idle_hook(port);
}

}  // namespace platform

// The message loop is the host's wait here: each step dispatches what is
// queued and returns, whatever time the caller has left. The port's queued
// output moves on meanwhile.
int Win32Operations::idle_wait(SerialPort& port, uint32_t, bool) {
  transmit_step(win32_device_of(port));
  return platform::default_idle_hook(&port);
}

}  // namespace bt
