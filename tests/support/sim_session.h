// SPDX-License-Identifier: MIT
// The real simulator on its pseudo-terminal, named as COM1, with its line log
// readable by the test, and the real library loaded by path with one record.
#ifndef BRIMTALLY_TESTS_SUPPORT_SIM_SESSION_H
#define BRIMTALLY_TESTS_SUPPORT_SIM_SESSION_H

#include <stdlib.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "library_exports.h"
#include "record_fixture.h"
#include "sim_process.h"

namespace bt_test {

using Clock = std::chrono::steady_clock;

inline long elapsed_ms(Clock::time_point since) {
  return static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

// Runs f and stores how long it took.
template <class F>
auto timed(long& ms, F f) {
  const auto start = Clock::now();
  auto result = f();
  ms = elapsed_ms(start);
  return result;
}

// The waits every transaction makes before its read: the 50 ms pause and
// three stale-line reads of 10 ms each.
constexpr long kSendWaitsMs = 80;
// How far a call may run past its deadline: generous, since other builds run
// beside the tests; exceeding it means a wait that does not end.
constexpr long kLateMs = 50;

// Replies get half a second rather than the default 30 ms: the tests share
// two cores with other builds, and a late reply is a fault of its own here.
constexpr int16_t kReplyTimeoutMs = 500;

// A record for module "01" with that time-out.
inline ModuleRecord session_record() {
  ModuleRecord record = valid_record("01");
  record.ReplyTimeout = kReplyTimeoutMs;
  return record;
}

inline long query_deadline(const ModuleRecord& record) {
  return kSendWaitsMs + record.ReplyTimeout;
}

// The module plays I:3C with inputs held still.
inline std::vector<std::string> session_args(const std::string& log,
                                             std::vector<std::string> extra) {
  std::vector<std::string> args{"--no-banner", "--drift", "0", "--set", "di=0x3C", "--log", log};
  args.insert(args.end(), extra.begin(), extra.end());
  return args;
}

class SimSession {
 public:
  explicit SimSession(std::vector<std::string> extra = {})
      : log_(dir_.path("line.log")), sim_(session_args(log_, std::move(extra))) {
    use_device(sim_.device());
  }
  ~SimSession() { lib().btPortClose(); }

  static const Exports& lib() { return Exports::get(); }
  simtest::SimProcess& sim() { return sim_; }
  void use_device(const std::string& path) { setenv("BRIMTALLY_COM1", path.c_str(), 1); }

  // Every line the simulator sent (direction "out") or received ("in"), with
  // the log's escapes undone.
  std::vector<std::string> logged(const std::string& direction) const {
    std::vector<std::string> lines;
    std::ifstream in(log_);
    std::string line;
    while (std::getline(in, line)) {
      std::istringstream fields(line);
      std::string time, dir;
      fields >> time >> dir;
      if (dir != direction) continue;
      const size_t text = line.find_first_not_of(' ', line.find(dir) + dir.size());
      lines.push_back(text == std::string::npos ? "" : unescape(line.substr(text)));
    }
    return lines;
  }
  // Waits until the log holds `count` lines in `direction`.
  bool wait_logged(const std::string& direction, size_t count) const {
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (logged(direction).size() < count) {
      if (Clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
  }

 private:
  static std::string unescape(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] != '\\' || i + 1 >= text.size()) {
        out += text[i];
        continue;
      }
      const char kind = text[++i];
      if (kind == 'r') out += '\r';
      if (kind == 'n') out += '\n';
      if (kind == '\\') out += '\\';
      if (kind == 'x') {
        out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
        i += 2;
      }
    }
    return out;
  }

  simtest::TempDir dir_;
  std::string log_;
  simtest::SimProcess sim_;
};

}  // namespace bt_test

#endif  // BRIMTALLY_TESTS_SUPPORT_SIM_SESSION_H
