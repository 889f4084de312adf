// brimtally-wintest <Brimtally.dll> <simulator log> <control folder>: runs
// the Win32 driver cases and the library's cases through the DLL, against the
// simulated module on COM1.
#include <cstdio>
#include <string>

#include "check.h"
#include "sim_session.h"

namespace wintest {
void run_driver_cases();
void run_client_cases(const std::string& dll_path);
void run_vanishing_device_case();
}  // namespace wintest

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr,
                 "usage: brimtally-wintest <Brimtally.dll> <simulator log> <control folder>\n");
    return 2;
  }
  wintest::set_sim_log_path(argv[2]);
  wintest::set_sim_control_folder(argv[3]);
  wintest::run_driver_cases();
  wintest::run_client_cases(argv[1]);
  // Last: the module's device goes away for good.
  wintest::run_vanishing_device_case();
  std::printf("%d passed, %d failed\n", wintest::tally.passed, wintest::tally.failed);
  return wintest::tally.failed == 0 && wintest::tally.passed > 0 ? 0 : 1;
}
