// SPDX-License-Identifier: MIT
// Takes typed values off the front of a fuzzer's input; an exhausted input
// gives zeros and empty texts, so every input is usable.
#ifndef BRIMTALLY_FUZZ_FUZZ_INPUT_H
#define BRIMTALLY_FUZZ_FUZZ_INPUT_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

// Names the broken property, then aborts so the fuzzer keeps the input.
#define FUZZ_CHECK(condition) \
  ((condition)                \
       ? void()               \
       : (std::fprintf(stderr, "failed: %s (line %d)\n", #condition, __LINE__), std::abort()))

namespace bt_fuzz {

class FuzzInput {
 public:
  FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  uint8_t byte() { return size_ > 0 ? (--size_, *data_++) : 0; }
  uint16_t u16() {
    const uint8_t low = byte();
    return static_cast<uint16_t>(low | (byte() << 8));
  }
  // Up to `max` bytes, as many as are left.
  std::string bytes(size_t max) {
    const size_t n = max < size_ ? max : size_;
    std::string out(reinterpret_cast<const char*>(data_), n);
    data_ += n;
    size_ -= n;
    return out;
  }
  // A length byte, then that many bytes (cut to `max`).
  std::string sized(size_t max) { return bytes(byte() % (max + 1)); }
  std::string rest() { return bytes(size_); }
  size_t left() const { return size_; }

 private:
  const uint8_t* data_;
  size_t size_;
};

}  // namespace bt_fuzz

#endif  // BRIMTALLY_FUZZ_FUZZ_INPUT_H
