// brimtally-wintest <Brimtally.dll> <simulator log>: runs the Win32 driver
// cases and the library's cases through the DLL, against the simulated module
// on COM1.
#include <cstdio>
#include <string>

#include "check.h"
#include "client_cases.h"
#include "driver_cases.h"
#include "sim_session.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: brimtally-wintest <Brimtally.dll> <simulator log>\n");
    return 2;
  }
  wintest::set_sim_log_path(argv[2]);
  wintest::run_driver_cases();
  wintest::run_client_cases(argv[1]);
  return wintest::finish();
}
