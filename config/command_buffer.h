// SPDX-License-Identifier: MIT
// The eight command slots between the operator's actions and the polling
// cycle. Not a ring: a new command takes the lowest free slot, and the sender
// takes the lowest occupied one. An empty text marks a free slot.
#pragma once

#include <QString>
#include <array>
#include <optional>

class CommandBuffer {
 public:
  static constexpr int kSlots = 8;

  // Stores the command in the lowest free slot; false when all are occupied.
  bool store(const QString& command);
  // The lowest occupied slot, if any.
  std::optional<int> firstOccupied() const;
  // Empties the slot and returns what it held.
  QString take(int slot);
  void clear();

  const QString& slot(int index) const { return slots_.at(index); }
  QString& slot(int index) { return slots_.at(index); }
  int occupied() const;
  bool holds(const QString& command) const;

 private:
  std::array<QString, kSlots> slots_;
};
