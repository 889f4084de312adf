// SPDX-License-Identifier: MIT
// The output queue: pacing bytes onto the device.
#include "output_queue.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace sim {

bool OutputQueue::push(std::string bytes, int64_t earliest_ns) {
  if (bytes.empty()) return true;
  if (queued_ + bytes.size() > kMaxQueued) return false;
  queued_ += bytes.size();
  items_.push_back(Item{std::move(bytes), earliest_ns});
  return true;
}

void OutputQueue::clear() {
  items_.clear();
  queued_ = 0;
}

OutputQueue::Progress OutputQueue::pump(
    int fd, int64_t now, const std::function<void(const std::string&, int64_t)>& done) {
  Progress p;
  const int64_t char_ns = char_time_ns();
  while (!items_.empty()) {
    Item& it = items_.front();
    if (it.start_ns < 0) it.start_ns = std::max({now, it.earliest_ns, line_free_ns_});
    if (now < it.start_ns) {
      p.wake_at_ns = it.start_ns;
      return p;
    }
    // Characters whose transmission has finished by now.
    size_t due = it.bytes.size();
    if (char_ns > 0) {
      due = std::min(it.bytes.size(), static_cast<size_t>((now - it.start_ns) / char_ns));
    }
    if (due > it.written) {
      const ssize_t n = ::write(fd, it.bytes.data() + it.written, due - it.written);
      if (n < 0) {
        if (errno == EAGAIN || errno == EINTR) {
          p.wait_writable = errno == EAGAIN;
          return p;
        }
        p.failed = true;
        return p;
      }
      it.written += static_cast<size_t>(n);
      if (it.written < due) {
        p.wait_writable = true;
        return p;
      }
    }
    if (it.written < it.bytes.size()) {
      p.wake_at_ns = it.start_ns + static_cast<int64_t>(it.written + 1) * char_ns;
      return p;
    }
    line_free_ns_ = it.start_ns + static_cast<int64_t>(it.bytes.size()) * char_ns;
    if (char_ns == 0) line_free_ns_ = now;
    done(it.bytes, now);
    queued_ -= it.bytes.size();
    items_.pop_front();
  }
  return p;
}

}  // namespace sim
