#pragma once
#include <sys/types.h>

#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "control_server.h"
#include "fault_plan.h"
#include "line_log.h"
#include "module.h"
#include "options.h"
#include "output_queue.h"
#include "pty_device.h"

namespace sim {

// The whole simulated line: the modules, the device they answer on, the
// faults between them and the control channel, run by one poll() loop.
class Simulator {
 public:
  explicit Simulator(Options options);
  ~Simulator();
  Simulator(const Simulator&) = delete;
  Simulator& operator=(const Simulator&) = delete;

  // Applies the start-up settings and opens everything. Errors are for the
  // user: "--set a9=1: unknown field 'a9'".
  bool start(std::string& error);
  const std::string& devicePath() const { return pty_.path(); }
  // Runs until SIGINT, SIGTERM, SIGHUP or "quit"; returns the exit status.
  int run();

 private:
  void readInput(int64_t now);
  void handleLine(const std::string& line, const std::string& raw, int64_t now);
  // A reply or console line of the module at `address`: goes through the
  // reply faults.
  void sendLine(std::string text, bool framed, int64_t now, const std::string& address);
  // Bytes that are not replies (banner at power-up, injected noise).
  void sendRaw(std::string bytes, int64_t now);
  void sendBanner(int64_t now);
  std::string control(const std::string& line);
  std::string controlFault(const std::string& kind, const std::string& arg);
  std::string controlModuleFault(const std::string& args);
  Module* findModule(const std::string& address);
  std::string otherAddress() const;
  std::string stateJson() const;
  void powerCycle(int64_t now);
  void vanish(int64_t now, int64_t returnAfterMs);
  void comeBack(int64_t now);
  void event(const std::string& text);

  Options opt_;
  std::vector<Module> modules_;
  FaultPlan faults_;
  OutputQueue out_;
  PtyDevice pty_;
  ControlServer control_;
  LineLog log_;
  std::FILE* printer_ = nullptr;
  std::mt19937_64 driftRng_;

  std::string inLine_;  // the line being received
  std::string inRaw_;   // its bytes as received, for the log
  bool inOverflow_ = false;

  int64_t lastTickNs_ = 0;
  int64_t returnAtNs_ = -1;  // when a vanished device comes back
  bool vanished_ = false;
  bool stop_ = false;
  int signalFd_ = -1;
  pid_t parent_;
};

// Longest input line kept; anything longer up to its CR is ignored, as a
// module's receive buffer would overflow.
constexpr size_t kMaxInputLine = 120;

}  // namespace sim
