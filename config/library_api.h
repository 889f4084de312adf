// The five library calls the program makes. The program uses DynamicLibrary;
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
};
