// SPDX-License-Identifier: MIT
#include "command_text.h"

#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QToolTip>

bool sendable(const QString& text) {
  for (const QChar c : text) {
    if (c < ' ' || c > '~') return false;
  }
  return true;
}

void explainRefusal(QLineEdit* box) {
  // A key refused by a full box is the other reason.
  const bool full = sendable(box->text()) && box->text().size() >= box->maxLength();
  const QString why =
      full ? QString("At most %1 characters fit.").arg(box->maxLength()) : QString(kSendableRule);
  QToolTip::showText(box->mapToGlobal(QPoint(0, box->height())), why, box);
}

void takeOnlySendableText(QLineEdit* box, int maxLength) {
  box->setMaxLength(maxLength);
  box->setValidator(new QRegularExpressionValidator(QRegularExpression("[ -~]*"), box));
  QObject::connect(box, &QLineEdit::inputRejected, box, [box] { explainRefusal(box); });
}
