// SPDX-License-Identifier: MIT
#include "command_buffer.h"

#include <algorithm>

bool CommandBuffer::store(const QString& command) {
  for (auto& slot : slots_) {
    if (slot.isEmpty()) {
      slot = command;
      return true;
    }
  }
  return false;
}

std::optional<int> CommandBuffer::firstOccupied() const {
  for (int i = 0; i < kSlots; ++i) {
    if (!slots_[i].isEmpty()) return i;
  }
  return std::nullopt;
}

QString CommandBuffer::take(int slot) {
  return std::exchange(slots_.at(slot), QString());
}

void CommandBuffer::clear() {
  for (auto& slot : slots_) slot.clear();
}

int CommandBuffer::occupied() const {
  int count = 0;
  for (const auto& slot : slots_) count += slot.isEmpty() ? 0 : 1;
  return count;
}

bool CommandBuffer::holds(const QString& command) const {
  return std::find(slots_.begin(), slots_.end(), command) != slots_.end();
}
