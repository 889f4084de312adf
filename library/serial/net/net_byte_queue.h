// SPDX-License-Identifier: MIT
// A byte queue of fixed capacity, allocated once without throwing: the
// received bytes of a network port, and the bytes waiting for its socket.
#ifndef BRIMTALLY_SERIAL_NET_BYTE_QUEUE_H
#define BRIMTALLY_SERIAL_NET_BYTE_QUEUE_H

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

namespace bt {

class ByteQueue {
 public:
  // False when the memory cannot be had.
  bool allocate(uint32_t capacity) {
    bytes_.reset(new (std::nothrow) uint8_t[capacity]);
    capacity_ = bytes_ ? capacity : 0;
    return bytes_ != nullptr;
  }

  uint32_t size() const { return end_ - begin_; }
  uint32_t room() const { return capacity_ - size(); }
  bool empty() const { return begin_ == end_; }
  const uint8_t* data() const { return bytes_.get() + begin_; }
  void clear() { begin_ = end_ = 0; }

  // Appends what fits; returns the count appended.
  uint32_t push(const uint8_t* bytes, uint32_t length) {
    length = std::min(length, room());
    if (capacity_ - end_ < length) compact();
    if (length > 0) std::memcpy(bytes_.get() + end_, bytes, length);
    end_ += length;
    return length;
  }

  // Moves up to length bytes from the front to out; returns the count.
  uint32_t take(uint8_t* out, uint32_t length) {
    length = std::min(length, size());
    if (length > 0) std::memcpy(out, data(), length);
    drop(length);
    return length;
  }

  void drop(uint32_t length) {
    begin_ += std::min(length, size());
    if (begin_ == end_) clear();
  }

 private:
  void compact() {
    std::memmove(bytes_.get(), data(), size());
    end_ -= begin_;
    begin_ = 0;
  }

  std::unique_ptr<uint8_t[]> bytes_;
  uint32_t capacity_ = 0;
  uint32_t begin_ = 0;
  uint32_t end_ = 0;
};

}  // namespace bt

#endif  // BRIMTALLY_SERIAL_NET_BYTE_QUEUE_H
