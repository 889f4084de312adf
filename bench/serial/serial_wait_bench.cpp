// SPDX-License-Identifier: MIT
// Measures what a reply wait costs: the CPU share of port_read_line waiting
// for a line that never comes, and the delay from a byte's arrival on the
// pseudo-terminal to port_read_line's return.
#include <fcntl.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "serial/serial_port.h"

namespace {

double seconds(clockid_t clock) {
  timespec t{};
  clock_gettime(clock, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

}  // namespace

int main(int argc, char** argv) {
  const int samples = argc > 1 ? std::max(1, atoi(argv[1])) : 300;
  const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
    std::perror("pseudo-terminal");
    return 1;
  }
  setenv("BRIMTALLY_COM1", ptsname(master), 1);
  bt::SerialPort* port = bt::port_open(0, 9600, 'N', 8, 1);
  if (port->status != 0) {
    std::fprintf(stderr, "port_open: %s\n", bt::port_error_text(port->status));
    return 1;
  }
  char line[100];

  // (a) A 2 s wait for a line that never comes.
  const double wall0 = seconds(CLOCK_MONOTONIC);
  const double cpu0 = seconds(CLOCK_PROCESS_CPUTIME_ID);
  const int timed_out = bt::port_read_line(port, line, sizeof line, 13, 2000);
  const double wall = seconds(CLOCK_MONOTONIC) - wall0;
  const double cpu = seconds(CLOCK_PROCESS_CPUTIME_ID) - cpu0;
  std::printf("idle wait: result %d, wall %.3f s, cpu %.4f s, cpu/wall %.2f %%\n", timed_out, wall,
              cpu, 100.0 * cpu / wall);

  // (b) Arrival-to-return delay. The writer sends only once the reader is
  // inside its wait.
  std::vector<double> sent(static_cast<size_t>(samples));
  std::vector<double> returned(static_cast<size_t>(samples));
  std::atomic<int> waiting{-1};
  std::thread writer([&] {
    for (int i = 0; i < samples; ++i) {
      while (waiting.load() != i) std::this_thread::yield();
      std::this_thread::sleep_for(std::chrono::microseconds(2000 + (i * 377) % 3000));
      sent[static_cast<size_t>(i)] = seconds(CLOCK_MONOTONIC);
      if (write(master, "x\r", 2) != 2) std::abort();
    }
  });
  int failures = 0;
  for (int i = 0; i < samples; ++i) {
    waiting.store(i);
    if (bt::port_read_line(port, line, sizeof line, 13, 5000) != 0) ++failures;
    returned[static_cast<size_t>(i)] = seconds(CLOCK_MONOTONIC);
  }
  writer.join();
  std::vector<double> delay(static_cast<size_t>(samples));
  for (size_t i = 0; i < delay.size(); ++i) delay[i] = (returned[i] - sent[i]) * 1e3;
  std::sort(delay.begin(), delay.end());
  std::printf("arrival to return over %d samples: median %.3f ms, 90th %.3f ms, max %.3f ms%s\n",
              samples, delay[delay.size() / 2], delay[delay.size() * 9 / 10], delay.back(),
              failures != 0 ? " (some reads failed)" : "");

  port->ops->close(*port);
  close(master);
  return failures == 0 ? 0 : 1;
}
