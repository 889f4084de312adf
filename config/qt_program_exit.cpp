// SPDX-License-Identifier: MIT
#include "qt_program_exit.h"

#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>

void QtProgramExit::end() {
  QCoreApplication::exit(0);
}

void QtProgramExit::fail(int status) {
  // std::exit runs the library's exit routine, which closes a port left open.
  std::fflush(nullptr);
  std::exit(status);
}
