// SPDX-License-Identifier: MIT
// brimtally-wintest <Brimtally.dll> <simulator log> <control folder>: runs
// the library's cases through the DLL, then the Win32 driver's own cases,
// against the simulated module on COM1.
#include <cstdio>
#include <string>

#include "check.h"
#include "sim_session.h"

namespace wintest {
void run_driver_cases();
void run_client_cases(const std::string& dll_path);
}  // namespace wintest

int main(int argc, char** argv) {
  if (argc != 4) return 2;
  wintest::set_sim_paths(argv[2], argv[3]);
  wintest::run_client_cases(argv[1]);
  wintest::run_driver_cases();
  std::printf("%d passed, %d failed\n", wintest::cases_passed, wintest::cases_failed);
  return wintest::cases_failed == 0 && wintest::cases_passed > 0 ? 0 : 1;
}
