// SPDX-License-Identifier: MIT
// Drives the window by its controls' names, so that a case is one line of a
// table. Steps are separated by ";":
//   Name         clicks the button or check box Name, e.g. "DDir(3)"
//   Name=value   sets a slider's value, a list's position or a box's text
//                (the text as written, blanks included)
//   <<line       lets one tick read and classify the reply `line`
#pragma once

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QSlider>
#include <QtTest>

#include "fakes.h"

inline void run(Rig& r, const QString& script) {
  for (const QString& step : script.split(';', Qt::SkipEmptyParts)) {
    if (step.trimmed().startsWith("<<")) {
      r.lib.reply(step.trimmed().mid(2));
      r.form.Timer2_Timer();
      continue;
    }
    const qsizetype eq = step.indexOf('=');
    const QString name = step.left(eq).trimmed();
    const QString value = step.mid(eq + 1);
    QWidget* w = r.form.findChild<QWidget*>(name);
    QVERIFY2(w, qPrintable("no control " + name));
    if (eq < 0) {
      qobject_cast<QAbstractButton*>(w)->click();
    } else if (auto* slider = qobject_cast<QSlider*>(w)) {
      slider->setValue(value.toInt());
    } else if (auto* list = qobject_cast<QComboBox*>(w)) {
      list->setCurrentIndex(value.toInt());
    } else {
      qobject_cast<QLineEdit*>(w)->setText(value);
    }
  }
}
