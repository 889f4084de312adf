// SPDX-License-Identifier: MIT
// A descriptor owned until it is handed over, so no failure path of an open
// leaks it (the POSIX host's kinds).
#ifndef BRIMTALLY_SERIAL_FD_HOLDER_H
#define BRIMTALLY_SERIAL_FD_HOLDER_H

#include <unistd.h>

namespace bt {

class FdHolder {
 public:
  explicit FdHolder(int fd) : fd_(fd) {}
  FdHolder(const FdHolder&) = delete;
  FdHolder& operator=(const FdHolder&) = delete;
  ~FdHolder() {
    if (fd_ < 0) return;
    if (before_close_ != nullptr) before_close_(fd_);
    ::close(fd_);
  }
  // What must be undone on the descriptor if it is never handed over.
  void undo_before_close(void (*undo)(int fd)) { before_close_ = undo; }
  int get() const { return fd_; }
  int release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
  void (*before_close_)(int fd) = nullptr;
};

}  // namespace bt

#endif  // BRIMTALLY_SERIAL_FD_HOLDER_H
