// SPDX-License-Identifier: MIT
// Comparing a line's echo with what was sent.
#include "serial/echo_check.h"

#include <algorithm>

#include "serial/port_device.h"

namespace bt {

void EchoCheck::expect(const uint8_t* bytes, int length, uint32_t now, uint32_t wire_ms) {
  if (length <= 0) return;
  if (pending() == 0) {
    received_ = 0;
    matched_ = 0;
    first_differs_ = false;
  }
  for (int i = 0; i < length; ++i) {
    // Order holds: once bytes go unchecked, every later one does until they end.
    if (unchecked_ > 0 || held_ == kCapacity) {
      ++unchecked_;
      continue;
    }
    expected_[(head_ + held_) % kCapacity] = bytes[i];
    ++held_;
  }
  const uint32_t due = now + wire_ms + kEchoMarginMs;
  // Bytes written later cannot be due sooner than those before them.
  if (pending() == length || static_cast<int32_t>(due - deadline_) > 0) deadline_ = due;
}

void EchoCheck::compare(const uint8_t* bytes, int length) {
  for (int i = 0; i < length && pending() > 0; ++i) {
    if (held_ > 0) {
      const bool same = expected_[head_] == bytes[i];
      if (same) ++matched_;
      if (!same && received_ == 0) first_differs_ = true;
      head_ = (head_ + 1) % kCapacity;
      --held_;
    } else {
      --unchecked_;
      ++matched_;  // not compared: nothing says it differs
    }
    ++received_;
    if (pending() == 0) end(false);
  }
}

void EchoCheck::expire(uint32_t now) {
  if (pending() == 0 || static_cast<int32_t>(now - deadline_) < 0) return;
  held_ = 0;
  unchecked_ = 0;
  head_ = 0;
  end(true);
}

void EchoCheck::end(bool cut_short) {
  if (received_ > 0 && !cut_short && matched_ == received_) return;
  // Nothing back, or something that is mostly not what was sent from its
  // first byte on (a module's reply): the line does not echo. Otherwise the
  // echo came back changed or cut short: another talker, or noise.
  if (received_ == 0 || (first_differs_ && matched_ * 2 <= received_)) {
    fault_ = kNoEcho;
  } else {
    fault_ = kEchoMismatch;
  }
}

uint32_t EchoCheck::time_left(uint32_t now) const {
  if (pending() == 0) return 0;
  const int32_t left = static_cast<int32_t>(deadline_ - now);
  return left > 0 ? static_cast<uint32_t>(left) : 1;  // 1: one more read ends it
}

int EchoCheck::take_fault() {
  const int fault = fault_;
  fault_ = 0;
  return fault;
}

uint32_t wire_time_ms(const LineSettings& settings, int bytes) {
  if (settings.baud == 0 || bytes <= 0) return 0;
  const uint32_t bits = 1u + settings.byte_size + (settings.parity != kParityNone ? 1u : 0u) +
                        (settings.stop_bits == kStopOne ? 1u : 2u);
  const uint64_t total = static_cast<uint64_t>(bits) * static_cast<uint32_t>(bytes) * 1000u;
  return static_cast<uint32_t>((total + settings.baud - 1) / settings.baud);
}

}  // namespace bt
