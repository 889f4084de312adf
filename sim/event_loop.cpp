// SPDX-License-Identifier: MIT
// The event loop: ticks, output, input, signals and control clients, one
// poll() at a time.
#include <poll.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "clock.h"
#include "simulator.h"

namespace sim {

int Simulator::run() {
  const int64_t tick_ns = opt_.tick_ms * kNsPerMs;
  auto log_out = [this](const std::string& bytes, int64_t t) { log_.write(t, "out", bytes); };
  std::vector<pollfd> fds;
  while (!stop_) {
    int64_t now = monotonic_ns();
    if (now - last_tick_ns_ >= tick_ns) {
      for (auto& m : modules_) m.advance(now - last_tick_ns_, opt_.drift, drift_rng_);
      last_tick_ns_ = now;
    }
    if (return_at_ns_ >= 0 && now >= return_at_ns_) come_back(now);
    OutputQueue::Progress p;
    if (pty_.is_open()) {
      p = out_.pump(pty_.fd(), now, log_out);
      if (p.failed) {
        event("write to the device failed; output dropped");
        out_.clear();
      }
    }
    int64_t wake = last_tick_ns_ + tick_ns;
    if (p.wake_at_ns >= 0) wake = std::min(wake, p.wake_at_ns);
    if (return_at_ns_ >= 0) wake = std::min(wake, return_at_ns_);

    fds.clear();
    fds.push_back({signal_fd_, POLLIN, 0});
    int pty_index = -1;
    if (pty_.is_open()) {
      pty_index = static_cast<int>(fds.size());
      fds.push_back({pty_.fd(), static_cast<short>(POLLIN | (p.wait_writable ? POLLOUT : 0)), 0});
    }
    int watch_index = -1;
    if (pty_.is_open() && pty_.close_watch_fd() >= 0) {
      watch_index = static_cast<int>(fds.size());
      fds.push_back({pty_.close_watch_fd(), POLLIN, 0});
    }
    control_.add_poll_fds(fds);
    const int64_t wait_ns = std::max<int64_t>(0, wake - now);
    timespec ts{static_cast<time_t>(wait_ns / 1'000'000'000),
                static_cast<long>(wait_ns % 1'000'000'000)};
    const int rc = ::ppoll(fds.data(), fds.size(), &ts, nullptr);
    if (rc < 0) {
      if (errno == EINTR) continue;
      std::fprintf(stderr, "brimtally-sim: poll: %s\n", std::strerror(errno));
      return 1;
    }
    if (rc == 0) continue;
    now = monotonic_ns();
    if (fds[0].revents & POLLIN) {
      signalfd_siginfo si{};
      if (::read(signal_fd_, &si, sizeof si) == static_cast<ssize_t>(sizeof si)) {
        event("signal " + std::to_string(si.ssi_signo));
        stop_ = true;
      }
    }
    if (pty_index >= 0 && (fds[static_cast<size_t>(pty_index)].revents & POLLIN)) read_input(now);
    if (watch_index >= 0 && (fds[static_cast<size_t>(watch_index)].revents & POLLIN)) {
      pty_.on_far_side_closed();
    }
    control_.service(fds, [this](const std::string& l) { return control(l); });
  }
  event("stop");
  pty_.close();
  return 0;
}

}  // namespace sim
