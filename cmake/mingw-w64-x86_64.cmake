# SPDX-License-Identifier: MIT
# Cross-building Brimtally.dll for 64-bit Windows with Debian's mingw-w64.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(BRIMTALLY_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${BRIMTALLY_MINGW_PREFIX}-gcc)
set(CMAKE_CXX_COMPILER ${BRIMTALLY_MINGW_PREFIX}-g++)
set(CMAKE_RC_COMPILER ${BRIMTALLY_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${BRIMTALLY_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The compiler's own runtime goes inside each binary, so the DLL and the test
# program need nothing beside them but the system's DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
