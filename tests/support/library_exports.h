// The shared library loaded by path and its exports resolved by name, as a
// client program does it.
#ifndef BRIMTALLY_TESTS_LIBRARY_LIBRARY_EXPORTS_H
#define BRIMTALLY_TESTS_LIBRARY_LIBRARY_EXPORTS_H

#include <dlfcn.h>

#include <stdexcept>
#include <string>

#include "brimtally.h"

namespace bt_test {

// clang-format off
#define BT_TEST_EXPORTS(X)                                                              \
  X(btInitDLL) X(btSeedDLL) X(btPortOpen) X(btPortClose) X(ex_xmit_msg) X(ex_read_line) \
  X(btSetAnalogOut) X(btSetAnalogLimits) X(btSetDigitalOut) X(btSetDirection)           \
  X(btSetPWM) X(btSetDebounce) X(btResetMinMax) X(btResetTotalizer) X(btPrint)          \
  X(btGetAllIO) X(btGetMinMax) X(btGetDigitalIn) X(btGetDigitalOut)                     \
  X(btGetDigitalDirection) X(btGetConfiguration) X(btGetFrequency) X(btGetTotalizer)    \
  X(btGetSerialNumber) X(btKey)
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

}  // namespace bt_test

#endif  // BRIMTALLY_TESTS_LIBRARY_LIBRARY_EXPORTS_H
