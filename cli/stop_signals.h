// SPDX-License-Identifier: MIT
// Ctrl-C (SIGINT) and SIGTERM for the commands that run long (scan, watch):
// held back while a transaction runs, so the module never sees half a
// command and the output is complete, then taken between transactions.
#ifndef BRIMTALLY_CLI_STOP_SIGNALS_H
#define BRIMTALLY_CLI_STOP_SIGNALS_H

#include <signal.h>

#include <chrono>

namespace cli {

class StopSignals {
 public:
  // Blocks both until the object ends; a signal still pending then acts as usual.
  StopSignals();
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  // The stop signal that has come (and is now taken), or 0.
  int taken();
  // Waits until `deadline`; the stop signal that came first, or 0.
  int wait_until(std::chrono::steady_clock::time_point deadline);
  // The exit code of a command a signal ended, as a shell reports it: 130, 143.
  static int exit_code(int signal) { return 128 + signal; }

 private:
  sigset_t stops_;
  sigset_t before_;
};

}  // namespace cli

#endif  // BRIMTALLY_CLI_STOP_SIGNALS_H
