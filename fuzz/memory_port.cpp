// SPDX-License-Identifier: MIT
#include "memory_port.h"

#include <cstdlib>
#include <cstring>

namespace bt_fuzz {

namespace {
// The hook gets only the port; the harness runs one port at a time.
MemoryPort* active = nullptr;
}  // namespace

MemoryPort::MemoryPort(std::string stream, std::vector<size_t> stage_ends, std::string hook_results,
                       bool gone_at_end)
    : stream_(std::move(stream)),
      stage_ends_(std::move(stage_ends)),
      hook_results_(std::move(hook_results)),
      gone_at_end_(gone_at_end),
      environment_{&MemoryPort::idle, nullptr, bt::kDefaultQueueSize, bt::kDefaultQueueSize},
      port_{nullptr, nullptr, 0, bt::kPortOk, bt::kDriverKindNone, 0, this, &environment_} {
  available_ = stage_ends_.empty() ? stream_.size() : stage_ends_[next_stage_++];
  active = this;
}

MemoryPort::~MemoryPort() {
  active = nullptr;
}

int MemoryPort::read_char(bt::SerialPort& port) {
  if (position_ < available_) return static_cast<uint8_t>(stream_[position_++]);
  if (gone_at_end_ && available_ == stream_.size()) return port.status = bt::kGeneralError;
  return bt::kBufferEmpty;
}

int MemoryPort::read_block(bt::SerialPort& port, void* buffer, int length) {
  int n = 0;
  auto* out = static_cast<uint8_t*>(buffer);
  while (n < length && position_ < available_) out[n++] = stream_[position_++];
  port.count = n;
  return n;
}

int MemoryPort::rx_count(bt::SerialPort&) {
  return static_cast<int>(available_ - position_);
}

int MemoryPort::unread(bt::SerialPort&, const uint8_t* bytes, int length) {
  // Only the bytes just read may go back, in their order.
  if (length < 0 || length > 2 || static_cast<size_t>(length) > position_ ||
      std::memcmp(bytes, stream_.data() + position_ - length, length) != 0) {
    std::abort();
  }
  position_ -= length;
  return length;
}

int MemoryPort::idle(bt::SerialPort* port) {
  if (active == nullptr || &active->port_ != port) std::abort();
  return active->next_idle_result();
}

// Each call either lets the next stage arrive (0) or aborts the wait (a
// negative value); an exhausted script aborts, so no read waits for ever.
int MemoryPort::next_idle_result() {
  if (next_hook_ >= hook_results_.size()) return -1;
  const auto step = static_cast<uint8_t>(hook_results_[next_hook_++]);
  if (step >= 0xF0) return -static_cast<int>(step - 0xEF);
  if (next_stage_ < stage_ends_.size()) available_ = stage_ends_[next_stage_++];
  if (next_stage_ >= stage_ends_.size() && step & 1) available_ = stream_.size();
  return 0;
}

}  // namespace bt_fuzz
