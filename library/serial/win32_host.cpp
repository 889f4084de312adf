// What the Win32 host gives the driver: the host check, its millisecond tick
// and the default idle hook, which keeps the calling thread's windows alive
// during a wait.
#include "serial/platform.h"
#include "serial/win32_device.h"

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

}  // namespace platform

}  // namespace bt
