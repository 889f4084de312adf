// SPDX-License-Identifier: MIT
// The five library calls the program makes, and the one that names the
// device behind a port for the reason an open failed. The program uses DynamicLibrary;
// tests put their own in its place.
#pragma once

#include <cstdint>

#include "brimtally.h"

class LibraryApi {
 public:
  virtual ~LibraryApi() = default;
  virtual int16_t btPortOpen(int16_t port, uint16_t baud) = 0;
  virtual ModuleRecord btInitDLL(ModuleRecord* record) = 0;
  virtual int32_t btPortClose() = 0;
  virtual int16_t ex_xmit_msg(ModuleRecord* record) = 0;
  virtual int16_t ex_read_line(ModuleRecord* record) = 0;
  virtual int16_t btPortDevice(int16_t port, char* buffer, uint16_t size) = 0;
  virtual int16_t btPortCheckName(const char* name, char* buffer, uint16_t size) = 0;
};
