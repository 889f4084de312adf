// SPDX-License-Identifier: MIT
// What the test program knows of the simulated module at the far end of
// COM1: the file where it logs every line in and out, and a folder through
// which a relay passes commands to its control socket.
#ifndef BRIMTALLY_TESTS_WINDOWS_SIM_SESSION_H
#define BRIMTALLY_TESTS_WINDOWS_SIM_SESSION_H

#include <string>
#include <vector>

namespace wintest {

void set_sim_paths(const std::string& log, const std::string& control_folder);
// Sends one control command; its answer ("ok ..." or "error ..."), or an
// empty text when none came within a generous bound.
std::string sim_control(const std::string& command);
// The byte escaping the simulator's log uses ("\r", "\n", "\\", "\xHH").
std::string log_escaped(const std::string& bytes);

// Watches the log from the moment it is made.
class SimLogWatch {
 public:
  SimLogWatch();
  // The lines received since the watch began, escaped, once there are count
  // of them or a generous bound has passed.
  std::vector<std::string> lines_received(size_t count) const;

 private:
  size_t start_;
};

}  // namespace wintest

#endif  // BRIMTALLY_TESTS_WINDOWS_SIM_SESSION_H
