// SPDX-License-Identifier: MIT
// The wall clock (the report's date and time).
#pragma once

#include <QDateTime>

class Clock {
 public:
  virtual ~Clock() = default;
  virtual QDateTime now() const = 0;
};
