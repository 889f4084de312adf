// SPDX-License-Identifier: MIT
// The local wall clock.
#pragma once

#include "clock.h"

class SystemClock final : public Clock {
 public:
  QDateTime now() const override { return QDateTime::currentDateTime(); }
};
