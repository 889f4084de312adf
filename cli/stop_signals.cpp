// SPDX-License-Identifier: MIT
#include "stop_signals.h"

#include <time.h>

#include <cerrno>

namespace cli {

StopSignals::StopSignals() {
  sigemptyset(&stops_);
  sigaddset(&stops_, SIGINT);
  sigaddset(&stops_, SIGTERM);
  sigprocmask(SIG_BLOCK, &stops_, &before_);
}

StopSignals::~StopSignals() {
  sigprocmask(SIG_SETMASK, &before_, nullptr);
}

int StopSignals::taken() {
  const timespec now{0, 0};
  const int signal = sigtimedwait(&stops_, nullptr, &now);
  return signal > 0 ? signal : 0;
}

int StopSignals::wait_until(std::chrono::steady_clock::time_point deadline) {
  for (;;) {
    const auto left = deadline - std::chrono::steady_clock::now();
    if (left <= std::chrono::steady_clock::duration::zero()) return taken();
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
    const timespec wait{static_cast<time_t>(ns / 1'000'000'000),
                        static_cast<long>(ns % 1'000'000'000)};
    const int signal = sigtimedwait(&stops_, nullptr, &wait);
    if (signal > 0) return signal;
    if (errno != EAGAIN && errno != EINTR) return 0;
  }
}

}  // namespace cli
