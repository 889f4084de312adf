// SPDX-License-Identifier: MIT
// The operator's message boxes. An empty title means the program's name.
#pragma once

#include <QString>

class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  virtual void ok(const QString& text, const QString& title = {}) = 0;
  // True when the operator answers OK.
  virtual bool okCancel(const QString& text, const QString& title = {}) = 0;
  // True when the operator answers Yes; No is the default answer.
  virtual bool yesNo(const QString& text, const QString& title = {}) = 0;
};
