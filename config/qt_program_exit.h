// SPDX-License-Identifier: MIT
// Ends the program through the Qt event loop, or at once on a failure.
#pragma once

#include "program_exit.h"

class QtProgramExit final : public ProgramExit {
 public:
  void end() override;
  [[noreturn]] void fail(int status) override;
};
