// What the test program knows of the simulated module at the far end of
// COM1: the file where it logs every line in and out, and a folder through
// which a relay passes commands to its control socket.
#ifndef BRIMTALLY_TESTS_WINDOWS_SIM_SESSION_H
#define BRIMTALLY_TESTS_WINDOWS_SIM_SESSION_H

#include <string>
#include <vector>

namespace wintest {

void set_sim_log_path(const std::string& path);
// The folder through which control commands reach the simulator.
void set_sim_control_folder(const std::string& path);
// Sends one control command; its answer ("ok ..." or "error ..."), or an
// empty text when none came within a generous bound.
std::string sim_control(const std::string& command);
// Watches the log from the moment it is made.
class SimLogWatch {
 public:
  SimLogWatch();
  // Waits (a generous bound) until the simulator has logged, since the watch
  // began, a received line holding text in the log's escaped form ("\r" for
  // CR, "\n" for LF).
  bool received(const std::string& escaped_text) const;
  // Waits (a generous bound) until the simulator has received count lines
  // since the watch began, and returns them, escaped.
  std::vector<std::string> lines_received(size_t count) const;

 private:
  size_t start_;
};
// The byte escaping the simulator's log uses.
std::string log_escaped(const std::string& bytes);

}  // namespace wintest

#endif  // BRIMTALLY_TESTS_WINDOWS_SIM_SESSION_H
