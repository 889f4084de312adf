// SPDX-License-Identifier: MIT
// What the Win32 host gives the driver: the host check, its microsecond clock
// and the default idle hook, which keeps the calling thread's windows alive
// during a wait.
#include "serial/platform.h"
#include "serial/win32/win32_device.h"

namespace bt {

uint64_t port_micros() {
  static const uint64_t frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<uint64_t>(f.QuadPart);
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  const uint64_t count = static_cast<uint64_t>(now.QuadPart);
  // In two parts, so that the product cannot overflow.
  return count / frequency * 1'000'000u + count % frequency * 1'000'000u / frequency;
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
int Win32Operations::idle_wait(SerialPort& port, uint64_t, bool) {
  transmit_step(win32_device_of(port));
  return platform::default_idle_hook(&port);
}

}  // namespace bt
