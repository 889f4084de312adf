// SPDX-License-Identifier: MIT
// The shared library loaded by path and its exports resolved by name, as a
// client program does it.
#ifndef BRIMTALLY_TESTS_LIBRARY_LIBRARY_EXPORTS_H
#define BRIMTALLY_TESTS_LIBRARY_LIBRARY_EXPORTS_H

#include <dlfcn.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "brimtally.h"

namespace bt_test {

// clang-format off
#define BT_TEST_EXPORTS(X)                                                              \
  X(btInitDLL) X(btSeedDLL) X(btPortOpen) X(btPortClose) X(ex_xmit_msg) X(ex_read_line) \
  X(btSetAnalogOut) X(btSetAnalogLimits) X(btSetDigitalOut) X(btSetDirection)           \
  X(btSetPWM) X(btSetDebounce) X(btResetMinMax) X(btResetTotalizer) X(btPrint)          \
  X(btGetAllIO) X(btGetMinMax) X(btGetDigitalIn) X(btGetDigitalOut)                     \
  X(btGetDigitalDirection) X(btGetConfiguration) X(btGetFrequency) X(btGetTotalizer)    \
  X(btGetSerialNumber) X(btKey) X(btPortOpenName) X(btPortDevice) X(btPortStatus) X(btPortCheckName)
// clang-format on

struct Exports {
#define BT_TEST_MEMBER(name) decltype(&::name) name = nullptr;
  BT_TEST_EXPORTS(BT_TEST_MEMBER)
#undef BT_TEST_MEMBER

  // Loaded once for the whole test program, like a client that keeps it.
  static const Exports& get() {
    static const Exports exports(BRIMTALLY_LIBRARY_PATH);
    return exports;
  }

 private:
  explicit Exports(const char* path) {
    void* handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) throw std::runtime_error(dlerror());
#define BT_TEST_RESOLVE(name)                                       \
  name = reinterpret_cast<decltype(&::name)>(dlsym(handle, #name)); \
  if (name == nullptr) throw std::runtime_error("missing export " #name);
    BT_TEST_EXPORTS(BT_TEST_RESOLVE)
#undef BT_TEST_RESOLVE
  }
};

using Call = std::function<int16_t(ModuleRecord*)>;

// Every operation that checks the version and talks to a module, by name.
inline std::vector<std::pair<const char*, Call>> typed_operations() {
  const Exports& e = Exports::get();
  return {
      {"btSetAnalogOut", [&e](ModuleRecord* r) { return e.btSetAnalogOut(r, 0x7FF, 0); }},
      {"btSetAnalogLimits", [&e](ModuleRecord* r) { return e.btSetAnalogLimits(r, 4, 1, 2); }},
      {"btSetDigitalOut", [&e](ModuleRecord* r) { return e.btSetDigitalOut(r, 0x5A); }},
      {"btSetDirection", [&e](ModuleRecord* r) { return e.btSetDirection(r, 0x0F); }},
      {"btSetPWM", [&e](ModuleRecord* r) { return e.btSetPWM(r, 1000, 50); }},
      {"btSetDebounce", [&e](ModuleRecord* r) { return e.btSetDebounce(r, 3); }},
      {"btResetMinMax", [&e](ModuleRecord* r) { return e.btResetMinMax(r); }},
      {"btResetTotalizer", [&e](ModuleRecord* r) { return e.btResetTotalizer(r); }},
      {"btPrint", [&e](ModuleRecord* r) { return e.btPrint(r); }},
      {"btGetAllIO", [&e](ModuleRecord* r) { return e.btGetAllIO(r); }},
      {"btGetMinMax", [&e](ModuleRecord* r) { return e.btGetMinMax(r); }},
      {"btGetDigitalIn", [&e](ModuleRecord* r) { return e.btGetDigitalIn(r); }},
      {"btGetDigitalOut", [&e](ModuleRecord* r) { return e.btGetDigitalOut(r); }},
      {"btGetDigitalDirection", [&e](ModuleRecord* r) { return e.btGetDigitalDirection(r); }},
      {"btGetConfiguration", [&e](ModuleRecord* r) { return e.btGetConfiguration(r); }},
      {"btGetFrequency", [&e](ModuleRecord* r) { return e.btGetFrequency(r); }},
      {"btGetTotalizer", [&e](ModuleRecord* r) { return e.btGetTotalizer(r); }},
      {"btGetSerialNumber", [&e](ModuleRecord* r) { return e.btGetSerialNumber(r); }},
      {"btKey", [&e](ModuleRecord* r) { return e.btKey(r); }},
  };
}

}  // namespace bt_test

#endif  // BRIMTALLY_TESTS_LIBRARY_LIBRARY_EXPORTS_H
