// SPDX-License-Identifier: MIT
// The simulator: modules, device, faults and control channel in one poll loop.
#ifndef BRIMTALLY_SIM_SIMULATOR_H
#define BRIMTALLY_SIM_SIMULATOR_H

#include <sys/types.h>

#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "control_server.h"
#include "fault_plan.h"
#include "line_assembly.h"
#include "line_log.h"
#include "module.h"
#include "options.h"
#include "output_queue.h"
#include "pty_device.h"

namespace sim {

// The whole simulated line: the modules, the device they answer on, the
// faults between them and the control channel, run by one poll() loop
// (event_loop.cpp).
class Simulator {
 public:
  explicit Simulator(Options options);
  ~Simulator();
  Simulator(const Simulator&) = delete;
  Simulator& operator=(const Simulator&) = delete;

  // Applies the start-up settings and opens everything. Errors are for the
  // user: "--set a9=1: unknown field 'a9'".
  bool start(std::string& error);
  const std::string& device_path() const { return pty_.path(); }
  // Runs until SIGINT, SIGTERM, SIGHUP or "quit"; returns the exit status.
  int run();

 private:
  // Start-up (simulator.cpp).
  void event(const std::string& text);
  Module* find_module(const std::string& address);

  // Lines from the host (line_dispatch.cpp).
  void read_input(int64_t now);
  void handle_line(const ReceivedLine& line, int64_t now);

  // What goes out on the line (reply_sending.cpp).
  // A reply or console line of the module at `address`: goes through the
  // reply faults.
  void send_line(std::string text, bool framed, int64_t now, const std::string& address);
  // Bytes that are not replies (banner at power-up, injected noise).
  void send_raw(std::string bytes, int64_t now);
  void send_banner(int64_t now);
  std::string other_address() const;

  // The device's life (device_life.cpp).
  // The line's echo of what the host sent (line_dispatch.cpp).
  void echo_input(std::string bytes, int64_t now);
  void power_cycle(int64_t now);
  void vanish(int64_t now, int64_t return_after_ms);
  void come_back(int64_t now);

  // The control channel's grammar (control_grammar.cpp) and its JSON
  // (state_json.cpp).
  std::string control(const std::string& line);
  std::string control_fault(const std::string& kind, const std::string& arg);
  std::string control_module_fault(const std::string& args);
  std::string state_json() const;
  std::string counts_json() const;

  Options opt_;
  std::vector<Module> modules_;
  FaultPlan faults_;
  OutputQueue out_;
  PtyDevice pty_;
  ControlServer control_;
  LineLog log_;
  std::FILE* printer_ = nullptr;
  std::mt19937_64 drift_rng_;
  std::mt19937_64 echo_rng_;

  LineAssembler input_;

  int64_t last_tick_ns_ = 0;
  int64_t return_at_ns_ = -1;  // when a vanished device comes back
  int collide_next_ = 0;       // echoes to garble, asked by the control channel
  bool vanished_ = false;
  bool stop_ = false;
  int signal_fd_ = -1;
  pid_t parent_;
};

}  // namespace sim

#endif  // BRIMTALLY_SIM_SIMULATOR_H
