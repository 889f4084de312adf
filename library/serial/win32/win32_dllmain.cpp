// SPDX-License-Identifier: MIT
// The library's entry point. Ports still open at unload are closed by the
// driver's exit routine, which the runtime runs when the library detaches.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
  return TRUE;
}
