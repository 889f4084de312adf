#include "output_queue.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace sim {

bool OutputQueue::push(std::string bytes, int64_t earliestNs) {
  if (bytes.empty()) return true;
  if (queued_ + bytes.size() > kMaxQueued) return false;
  queued_ += bytes.size();
  items_.push_back(Item{std::move(bytes), earliestNs});
  return true;
}

void OutputQueue::clear() {
  items_.clear();
  queued_ = 0;
}

OutputQueue::Progress OutputQueue::pump(
    int fd, int64_t now, const std::function<void(const std::string&, int64_t)>& done) {
  Progress p;
  const int64_t charNs = charTimeNs();
  while (!items_.empty()) {
    Item& it = items_.front();
    if (it.startNs < 0) it.startNs = std::max({now, it.earliestNs, lineFreeNs_});
    if (now < it.startNs) {
      p.wakeAtNs = it.startNs;
      return p;
    }
    // Characters whose transmission has finished by now.
    size_t due = it.bytes.size();
    if (charNs > 0) {
      due = std::min(it.bytes.size(), static_cast<size_t>((now - it.startNs) / charNs));
    }
    if (due > it.written) {
      const ssize_t n = ::write(fd, it.bytes.data() + it.written, due - it.written);
      if (n < 0) {
        if (errno == EAGAIN || errno == EINTR) {
          p.waitWritable = errno == EAGAIN;
          return p;
        }
        p.failed = true;
        return p;
      }
      it.written += static_cast<size_t>(n);
      if (it.written < due) {
        p.waitWritable = true;
        return p;
      }
    }
    if (it.written < it.bytes.size()) {
      p.wakeAtNs = it.startNs + static_cast<int64_t>(it.written + 1) * charNs;
      return p;
    }
    lineFreeNs_ = it.startNs + static_cast<int64_t>(it.bytes.size()) * charNs;
    if (charNs == 0) lineFreeNs_ = now;
    done(it.bytes, now);
    queued_ -= it.bytes.size();
    items_.pop_front();
  }
  return p;
}

}  // namespace sim
