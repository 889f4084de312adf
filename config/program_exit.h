// SPDX-License-Identifier: MIT
// Ending the program.
#pragma once

class ProgramExit {
 public:
  virtual ~ProgramExit() = default;
  // A regular end: the event loop stops once the current handler returns.
  virtual void end() = 0;
  // An end that cannot wait, with a failure status; never returns.
  [[noreturn]] virtual void fail(int status) = 0;
};
