// SPDX-License-Identifier: MIT
#include "dynamic_library.h"

#include <dlfcn.h>

#include <QCoreApplication>
#include <cstdlib>
#include <utility>

#include "message_boxes.h"
#include "program_exit.h"

// The declarations in brimtally.h give the exact types; decltype takes them
// without linking the library.
using PortOpenFn = decltype(&::btPortOpen);
using PortDeviceFn = decltype(&::btPortDevice);
using PortCheckNameFn = decltype(&::btPortCheckName);
using InitDllFn = decltype(&::btInitDLL);
using PortCloseFn = decltype(&::btPortClose);
using XmitMsgFn = decltype(&::ex_xmit_msg);
using ReadLineFn = decltype(&::ex_read_line);

DynamicLibrary::DynamicLibrary(QString path, MessageBoxes& boxes, ProgramExit& exit)
    : path_(std::move(path)), boxes_(boxes), exit_(exit) {}

DynamicLibrary::~DynamicLibrary() {
  // Deliberately not unloaded: the library's exit routine must still be there
  // to close a port left open when the process ends.
}

QString DynamicLibrary::defaultPath() {
  return QCoreApplication::applicationDirPath() + "/../lib/libbrimtally.so.1";
}

void DynamicLibrary::fail(const QString& text) {
  boxes_.ok(text);
  exit_.fail(1);
  std::abort();  // fail() does not return
}

void* DynamicLibrary::resolve(const char* name, void*& slot) {
  if (slot) return slot;
  if (!handle_) {
    handle_ = dlopen(path_.toLocal8Bit().constData(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) fail(QString::fromLocal8Bit(dlerror()));
  }
  dlerror();
  void* address = dlsym(handle_, name);
  if (!address) {
    const char* error = dlerror();
    fail(error ? QString::fromLocal8Bit(error)
               : QString("%1: undefined symbol: %2").arg(path_, name));
  }
  slot = address;
  return slot;
}

int16_t DynamicLibrary::btPortOpen(int16_t port, uint16_t baud) {
  return reinterpret_cast<PortOpenFn>(resolve("btPortOpen", portOpen_))(port, baud);
}

ModuleRecord DynamicLibrary::btInitDLL(ModuleRecord* record) {
  return reinterpret_cast<InitDllFn>(resolve("btInitDLL", initDll_))(record);
}

int32_t DynamicLibrary::btPortClose() {
  return reinterpret_cast<PortCloseFn>(resolve("btPortClose", portClose_))();
}

int16_t DynamicLibrary::ex_xmit_msg(ModuleRecord* record) {
  return reinterpret_cast<XmitMsgFn>(resolve("ex_xmit_msg", xmitMsg_))(record);
}

int16_t DynamicLibrary::ex_read_line(ModuleRecord* record) {
  return reinterpret_cast<ReadLineFn>(resolve("ex_read_line", readLine_))(record);
}

int16_t DynamicLibrary::btPortDevice(int16_t port, char* buffer, uint16_t size) {
  return reinterpret_cast<PortDeviceFn>(resolve("btPortDevice", portDevice_))(port, buffer, size);
}

int16_t DynamicLibrary::btPortCheckName(const char* name, char* buffer, uint16_t size) {
  return reinterpret_cast<PortCheckNameFn>(resolve("btPortCheckName", portCheckName_))(name, buffer,
                                                                                       size);
}
