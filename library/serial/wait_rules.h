// SPDX-License-Identifier: MIT
// The rules the default waits of the POSIX and network kinds share.
#ifndef BRIMTALLY_SERIAL_WAIT_RULES_H
#define BRIMTALLY_SERIAL_WAIT_RULES_H

#include <sys/prctl.h>
#include <time.h>

#include <algorithm>
#include <cstdint>

namespace bt {

// One poll (ppoll) lasts the time left, at least 1 us and at most a minute; a
// wait without a deadline simply polls again. Microseconds, so that a wait
// ends at its deadline rather than up to a millisecond after it.
inline timespec poll_timeout(uint64_t us) {
  const uint64_t clamped = std::clamp<uint64_t>(us, 1, 60'000'000);
  return timespec{static_cast<time_t>(clamped / 1'000'000),
                  static_cast<long>(clamped % 1'000'000 * 1000)};
}

// Taken instead of a poll when input already waits or the device is gone, so
// a caller that is not reading does not spin: 1 ms, or the time left when that
// is shorter. An interrupted sleep just ends early; callers measure their own
// deadline.
inline void sleep_briefly(uint64_t us) {
  const timespec pause = poll_timeout(std::min<uint64_t>(us, 1000));
  clock_nanosleep(CLOCK_MONOTONIC, 0, &pause, nullptr);
}

// The kernel may let a normal thread's timed wait run up to 50 us past its
// end (timer slack), which four waits a transaction would add up. So a wait
// polls at the thread's own slack until its last 200 us, and those at 1 us,
// after which the thread's setting is put back: the caller's loop comes back
// for that last part. Input, which ends most waits sooner, costs no extra
// system call. Real-time threads have no slack and are left alone.
class TimedPoll {
 public:
  explicit TimedPoll(uint64_t us)
      : part_(us > kTightUs ? us - kTightUs : us),
        saved_(us > kTightUs ? 0 : prctl(PR_GET_TIMERSLACK, 0, 0, 0, 0)) {
    if (saved_ > kTightNs) prctl(PR_SET_TIMERSLACK, kTightNs, 0, 0, 0);
  }
  ~TimedPoll() {
    if (saved_ > kTightNs) prctl(PR_SET_TIMERSLACK, saved_, 0, 0, 0);
  }
  TimedPoll(const TimedPoll&) = delete;
  TimedPoll& operator=(const TimedPoll&) = delete;

  // The microseconds to poll now.
  uint64_t part() const { return part_; }

 private:
  static constexpr uint64_t kTightUs = 200;
  static constexpr int kTightNs = 1000;
  uint64_t part_;
  int saved_;
};

}  // namespace bt

#endif  // BRIMTALLY_SERIAL_WAIT_RULES_H
