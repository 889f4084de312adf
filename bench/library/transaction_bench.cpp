// SPDX-License-Identifier: MIT
// Where the time of one btGetAllIO goes, against a module that answers at once.
//
// A child process holds the pseudo-terminal's master and answers every "QE"
// line with a valid reply, reporting when the line arrived. This process runs
// the transactions with an idle hook that times every wait, so each
// transaction splits into the pause and flush waits before the command, the
// wait for the reply, and the rest (the library's own work and system calls).
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "brimtally.h"
#include "serial/serial_port.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kTransactions = 100;
constexpr const char kReply[] = "$?? 01 A0:12 A4:123 B:0F I:3C O:0F D0:100 F:0040 T:000123\r";

double ms(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

std::string signed_reply() {
  std::string line = kReply;
  line[1] = line[2] = '0';
  unsigned sum = 0;
  for (char c : line) sum += c == '\r' ? 0 : static_cast<unsigned char>(c);
  char digits[3];
  std::snprintf(digits, sizeof digits, "%02X", (256 - sum % 256) % 256);
  line[1] = digits[0];
  line[2] = digits[1];
  return line;
}

// The module: answers each QE line at once and tells the parent when it came.
[[noreturn]] void respond(int master, int times_out) {
  const std::string reply = signed_reply();
  std::string line;
  for (;;) {
    pollfd pfd{master, POLLIN, 0};
    if (poll(&pfd, 1, 1000) <= 0) continue;
    char buffer[256];
    const ssize_t n = read(master, buffer, sizeof buffer);
    if (n <= 0) {
      usleep(1000);  // no slave open yet
      continue;
    }
    for (ssize_t i = 0; i < n; ++i) {
      line += buffer[i];
      if (buffer[i] != '\r') continue;
      if (line.find(" QE\n\r") != std::string::npos) {
        const auto arrived = Clock::now().time_since_epoch().count();
        if (write(master, reply.data(), reply.size()) < 0) _exit(1);
        if (write(times_out, &arrived, sizeof arrived) < 0) _exit(1);
      }
      line.clear();
    }
  }
}

struct Interval {
  Clock::time_point start, end;
};
std::vector<Interval> g_waits;
bt::IdleHook g_default_hook;

int timed_hook(bt::SerialPort* port) {
  const auto start = Clock::now();
  const int result = g_default_hook(port);
  g_waits.push_back({start, Clock::now()});
  return result;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}
double p90(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() * 9 / 10];
}

}  // namespace

int main() {
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return 1;
  setenv("BRIMTALLY_COM1", ptsname(master), 1);
  int times[2];
  if (pipe(times) != 0) return 1;
  const pid_t child = fork();
  if (child == 0) respond(master, times[1]);

  if (btPortOpen(1, 9600) != 0) {
    std::fprintf(stderr, "btPortOpen failed\n");
    return 1;
  }
  ModuleRecord record = btInitDLL(nullptr);
  std::strcpy(record.ModuleAddress, "01");  // ReplyTimeout stays at its 30 ms
  g_default_hook = bt::port_environment()->idle_hook;
  bt::set_idle_hook(timed_hook);

  // First pass: timed waits, for the split of each transaction.
  std::vector<double> total, before, reply, rest;
  int failures = 0;
  for (int i = 0; i < kTransactions; ++i) {
    g_waits.clear();
    const auto start = Clock::now();
    const int16_t status = btGetAllIO(&record);
    const auto end = Clock::now();
    Clock::rep arrived_ticks = 0;
    if (read(times[0], &arrived_ticks, sizeof arrived_ticks) <= 0 || status != 0) {
      std::fprintf(stderr, "transaction failed: status %d\n", status);
      ++failures;
      continue;
    }
    const Clock::time_point arrived{Clock::duration(arrived_ticks)};
    double wait_before = 0, wait_reply = 0;
    for (const Interval& w : g_waits) {
      (w.end <= arrived ? wait_before : wait_reply) += ms(w.end - w.start);
    }
    total.push_back(ms(end - start));
    before.push_back(wait_before);
    reply.push_back(wait_reply);
    rest.push_back(ms(end - start) - wait_before - wait_reply);
  }

  // Second pass: the library's own idle hook, for the CPU share.
  bt::set_idle_hook(nullptr);
  auto cpu_ms = [] {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 +
           (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
  };
  const double cpu_start = cpu_ms();
  const auto run_start = Clock::now();
  for (int i = 0; i < kTransactions; ++i) {
    Clock::rep arrived_ticks = 0;
    const int16_t status = btGetAllIO(&record);
    if (read(times[0], &arrived_ticks, sizeof arrived_ticks) <= 0 || status != 0) {
      std::fprintf(stderr, "transaction failed: status %d\n", status);
      ++failures;
    }
  }
  const double wall = ms(Clock::now() - run_start);
  const double cpu = cpu_ms() - cpu_start;

  btPortClose();
  kill(child, SIGTERM);
  waitpid(child, nullptr, 0);

  if (total.empty()) {
    std::fprintf(stderr, "no transaction succeeded\n");
    return 1;
  }
  std::printf(
      "btGetAllIO, 2 x %d transactions (%d failed), module answering at once, ReplyTimeout 30 ms\n",
      kTransactions, failures);
  std::printf("%-44s %9s %9s\n", "", "median ms", "p90 ms");
  std::printf("%-44s %9.3f %9.3f\n", "whole transaction", median(total), p90(total));
  std::printf("%-44s %9.3f %9.3f\n", "waits before the write (50 ms + 3 x 10 ms)", median(before),
              p90(before));
  std::printf("%-44s %9.3f %9.3f\n", "wait for the reply (<= ReplyTimeout)", median(reply),
              p90(reply));
  std::printf("%-44s %9.3f %9.3f   (aim < 1 ms median)\n", "rest: library work and system calls",
              median(rest), p90(rest));
  std::printf(
      "process CPU share over %d transactions: %.2f %% (%.1f ms CPU in %.1f ms; aim < 2 %%)\n",
      kTransactions, 100.0 * cpu / wall, cpu, wall);
  return failures == 0 ? 0 : 1;
}
