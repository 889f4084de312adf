// SPDX-License-Identifier: MIT
// The tool run as a child, with its standard output where a test wants it,
// and the simulator's line log read for what reached the module.
#pragma once
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "sim_process.h"

namespace clitest {

using simtest::RunResult;

// `out` empty: standard output is a pipe read here; "-": closed; "<FILE":
// FILE opened for reading only; else the file opened for writing (/dev/full). `meanwhile` runs
// beside the tool with its process id; the tool's results come once both have ended.
inline RunResult tool(std::vector<std::string> args, const std::string& out = "",
                      const std::function<void(pid_t)>& meanwhile = {}) {
  args.insert(args.begin(), BRIMTALLY_CLI_PATH);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  int o[2], e[2];
  if (pipe2(o, O_CLOEXEC) != 0 || pipe2(e, O_CLOEXEC) != 0) return {-1, "", "no pipe"};
  const pid_t pid = fork();
  if (pid == 0) {
    const int target = out.empty()     ? o[1]
                       : out == "-"    ? -1
                       : out[0] == '<' ? open(out.c_str() + 1, O_RDONLY)
                                       : open(out.c_str(), O_WRONLY);
    if (target < 0) close(1);
    if (target >= 0) dup2(target, 1);
    dup2(e[1], 2);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(o[1]);
  close(e[1]);
  std::thread beside;
  if (meanwhile) beside = std::thread(meanwhile, pid);
  RunResult r{-1, "", ""};
  pollfd fds[2] = {{o[0], POLLIN, 0}, {e[0], POLLIN, 0}};
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  for (int open = 2; open > 0 && std::chrono::steady_clock::now() < deadline;) {
    if (poll(fds, 2, 100) <= 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].revents == 0) continue;
      char buffer[4096];
      const ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
      if (got > 0) (i == 0 ? r.out : r.err).append(buffer, static_cast<size_t>(got));
      if (got <= 0) fds[i].fd = -1, --open;
    }
  }
  if (fds[0].fd >= 0 || fds[1].fd >= 0) kill(pid, SIGKILL);  // hung: the test fails on its code
  int status = 0;
  waitpid(pid, &status, 0);
  r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  if (beside.joinable()) beside.join();
  close(o[0]);
  close(e[0]);
  return r;
}

inline std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

// Lines of the simulator's log that the module received holding `text`.
inline int received(const std::string& log, const std::string& text) {
  std::ifstream in(log);
  int count = 0;
  for (std::string line; std::getline(in, line);) {
    count += line.find(" in ") != std::string::npos && line.find(text) != std::string::npos;
  }
  return count;
}

// Waits (20 s at most) until the module has received `count` such lines.
inline bool receives(const std::string& log, const std::string& text, int count = 1) {
  for (int i = 0; i < 2000 && received(log, text) < count; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return received(log, text) >= count;
}

}  // namespace clitest
