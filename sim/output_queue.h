// SPDX-License-Identifier: MIT
// Bytes waiting to go out on the line, paced at the line's baud rate.
#ifndef BRIMTALLY_SIM_OUTPUT_QUEUE_H
#define BRIMTALLY_SIM_OUTPUT_QUEUE_H

#include <cstdint>
#include <deque>
#include <functional>
#include <string>

namespace sim {

// Bytes waiting to go out on the line, in order. With a baud rate set, each
// character is written when its 10 bit times (8N1) on the wire are over, so a
// reader sees the same timing as on a real line; without one, lines go out as
// soon as they are due.
class OutputQueue {
 public:
  explicit OutputQueue(long baud) : baud_(baud) {}

  // `bytes` may start no earlier than `earliest_ns`. Returns false, keeping
  // nothing, when more than `kMaxQueued` bytes already wait (nobody reads the
  // line): a module's transmitter would not wait either.
  bool push(std::string bytes, int64_t earliest_ns);
  static constexpr size_t kMaxQueued = 64 * 1024;
  void clear();
  bool empty() const { return items_.empty(); }

  struct Progress {
    int64_t wake_at_ns = -1;     // when more is due; -1 when nothing waits for time
    bool wait_writable = false;  // the device refused bytes: wait for POLLOUT
    bool failed = false;         // the device reported an error
  };
  // Writes what is due to `fd`. `done` gets each line whose last byte was
  // written, with that time.
  Progress pump(int fd, int64_t now_ns,
                const std::function<void(const std::string&, int64_t)>& done);

  int64_t char_time_ns() const { return baud_ > 0 ? 10'000'000'000 / baud_ : 0; }

 private:
  struct Item {
    std::string bytes;
    int64_t earliest_ns;
    int64_t start_ns = -1;
    size_t written = 0;
  };
  long baud_;
  std::deque<Item> items_;
  size_t queued_ = 0;
  int64_t line_free_ns_ = 0;  // when the last character sent has left the wire
};

}  // namespace sim

#endif  // BRIMTALLY_SIM_OUTPUT_QUEUE_H
