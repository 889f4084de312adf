// SPDX-License-Identifier: MIT
// Message boxes shown with QMessageBox, modal to the main window.
#pragma once

#include "message_boxes.h"

class QWidget;

class QtMessageBoxes final : public MessageBoxes {
 public:
  void setParent(QWidget* parent) { parent_ = parent; }
  void ok(const QString& text, const QString& title = {}) override;
  bool okCancel(const QString& text, const QString& title = {}) override;
  bool yesNo(const QString& text, const QString& title = {}) override;

 private:
  QWidget* parent_ = nullptr;
};
