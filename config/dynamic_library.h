// SPDX-License-Identifier: MIT
// The device library, loaded by path at its first call. Each export is looked
// up at its own first call and kept for the rest of the run. A file or export
// that cannot be found is reported in a message box with the loader's text, and
// the program ends with status 1.
#pragma once

#include <QString>

#include "library_api.h"

class MessageBoxes;
class ProgramExit;

class DynamicLibrary final : public LibraryApi {
 public:
  DynamicLibrary(QString path, MessageBoxes& boxes, ProgramExit& exit);
  ~DynamicLibrary() override;
  DynamicLibrary(const DynamicLibrary&) = delete;
  DynamicLibrary& operator=(const DynamicLibrary&) = delete;

  // <directory of the executable>/../lib/libbrimtally.so.1
  static QString defaultPath();

  bool loaded() const { return handle_ != nullptr; }

  int16_t btPortOpen(int16_t port, uint16_t baud) override;
  ModuleRecord btInitDLL(ModuleRecord* record) override;
  int32_t btPortClose() override;
  int16_t ex_xmit_msg(ModuleRecord* record) override;
  int16_t ex_read_line(ModuleRecord* record) override;
  int16_t btPortDevice(int16_t port, char* buffer, uint16_t size) override;
  int16_t btPortCheckName(const char* name, char* buffer, uint16_t size) override;

 private:
  void* resolve(const char* name, void*& slot);
  [[noreturn]] void fail(const QString& text);

  QString path_;
  MessageBoxes& boxes_;
  ProgramExit& exit_;
  void* handle_ = nullptr;
  void* portOpen_ = nullptr;
  void* initDll_ = nullptr;
  void* portClose_ = nullptr;
  void* xmitMsg_ = nullptr;
  void* readLine_ = nullptr;
  void* portDevice_ = nullptr;
  void* portCheckName_ = nullptr;
};
