// SPDX-License-Identifier: MIT
#pragma once
#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace simtest {

// A scratch directory removed with everything in it.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  std::string path(const std::string& name) const { return dir_ + "/" + name; }

 private:
  std::string dir_;
};

// The test's end of the line: the device opened as a client opens a serial
// port (raw, non-blocking), with line reads bounded in time.
class Line {
 public:
  explicit Line(const std::string& device);
  ~Line();
  Line(const Line&) = delete;
  Line& operator=(const Line&) = delete;

  int fd() const { return fd_; }
  void send(std::string_view bytes);
  // One line up to its CR (CR not included), or nothing within `timeoutMs`.
  std::optional<std::string> readLine(int timeoutMs = 3000);
  // Everything that arrives within `ms`.
  std::string readFor(int ms);
  // True when the device reports hang-up (or an error) within `timeoutMs`.
  bool hangsUp(int timeoutMs);

 private:
  int fd_ = -1;
  std::string pending_;
};

// The simulator as a child process. The device path is its first line of
// output; a control socket in a scratch directory is added to its options.
class SimProcess {
 public:
  explicit SimProcess(std::vector<std::string> args, bool withControl = true);
  ~SimProcess();
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  const std::string& device() const { return device_; }
  pid_t pid() const { return pid_; }
  std::string scratch(const std::string& name) const { return dir_.path(name); }
  // Sends one control command and returns its answer line.
  std::string control(const std::string& command);
  // Next line on standard output after the first, within `timeoutMs`.
  std::optional<std::string> nextOutputLine(int timeoutMs);
  // Sends `sig` and returns the exit status (-1 when it did not stop in time).
  int stop(int sig);

 private:
  TempDir dir_;
  pid_t pid_ = -1;
  int stdout_ = -1;
  int control_ = -1;
  std::string device_;
  std::string outBuf_;
};

// Result of running the simulator to completion, e.g. with bad options.
struct RunResult {
  int exitCode;
  std::string out, err;
};
// Runs the simulator with `args`, or with `simulator` false the program named
// by args[0].
RunResult runToCompletion(const std::vector<std::string>& args, int timeoutMs = 10000,
                          bool simulator = true);

// Framed command line: "#cc ADDR BODY" LF CR.
std::string framed(std::string_view address, std::string_view body);
// Checks a received "$" line (without CR) by the checksum rule.
bool checksumValid(std::string_view line);
// The hexadecimal digits after `tag` (e.g. "A4:") in a reply, or "".
std::string fieldOf(std::string_view reply, std::string_view tag, size_t digits);
// Value of a number member in the one-line JSON `json`, after `anchor` if given.
long jsonNumber(const std::string& json, const std::string& key, const std::string& anchor = "");
// Members of a number array in `json` (the first one named `key`).
std::vector<long> jsonArray(const std::string& json, const std::string& key);

}  // namespace simtest
