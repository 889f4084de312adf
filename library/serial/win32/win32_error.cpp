// SPDX-License-Identifier: MIT
// Why a Win32 call failed, as a driver status.
#include "serial/win32/win32_device.h"

namespace bt {

int32_t map_win32_error(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return kNoDevice;  // no such port
    case ERROR_ACCESS_DENIED:
      return kInUse;  // another program has it open
    default:
      return kGeneralError;
  }
}

}  // namespace bt
