// SPDX-License-Identifier: MIT
#include "qt_message_boxes.h"

#include <QMessageBox>

namespace {
QString titleOrName(const QString& title) {
  return title.isEmpty() ? "PEXILConfig" : title;
}

QMessageBox::StandardButton ask(QWidget* parent, const QString& text, const QString& title,
                                QMessageBox::StandardButtons buttons,
                                QMessageBox::StandardButton defaultButton) {
  QMessageBox box(QMessageBox::NoIcon, titleOrName(title), text, buttons, parent);
  box.setDefaultButton(defaultButton);
  return static_cast<QMessageBox::StandardButton>(box.exec());
}
}  // namespace

void QtMessageBoxes::ok(const QString& text, const QString& title) {
  ask(parent_, text, title, QMessageBox::Ok, QMessageBox::Ok);
}

bool QtMessageBoxes::okCancel(const QString& text, const QString& title) {
  return ask(parent_, text, title, QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok) ==
         QMessageBox::Ok;
}

// Every Yes/No question asks whether to lose work, so Enter must not say yes.
bool QtMessageBoxes::yesNo(const QString& text, const QString& title) {
  return ask(parent_, text, title, QMessageBox::Yes | QMessageBox::No, QMessageBox::No) ==
         QMessageBox::Yes;
}
