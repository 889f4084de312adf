// SPDX-License-Identifier: MIT
// The configuration report: a plain-text record of what the window shows,
// appended to a file the operator picks. The save button checks and opens the
// chooser; the chooser asks through PrintFlag, and the next tick writes.
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>

#include "file_chooser.h"
#include "number_text.h"
#include "top_form.h"

namespace {
const QString kRule(79, '-');

// A limit in hex with at least `digits` digits; a box that does not hold a
// whole decimal number is written as it stands rather than as a made-up value.
QString limitHex(const QLineEdit* box, int digits) {
  const auto value = wholeDecimal(box->text());
  return value ? hexText(*value, digits) : box->text();
}
}  // namespace

void TopForm::PrintButton_Click() {
  if (s_.VersionPending &&
      services_.boxes.okCancel(
          "Suggest you cycle Brimtally power so proper version can be recorded.",
          "Get Brimtally Version")) {
    return;
  }
  if (!AllParametersSent()) {
    services_.boxes.ok("All Parameters have NOT been sent.  Can NOT save yet.");
    return;
  }
  if (!pickFile_) pickFile_ = new PickFile(s_, mountedVolumeRoots(), this);
  pickFile_->show();
  pickFile_->raise();
}

QString TopForm::configReportText() const {
  const QLocale locale = QLocale::system();
  const QDateTime now = services_.clock.now();
  QStringList lines{
      kRule,
      "Brimtally Configuration Report.    Ver. 00.08",
      kRule,
      "File: " + s_.NetFileName,
      "Date: " + locale.toString(now.date(), QLocale::ShortFormat),
      // Formatted from the date and time, so a zone in the format is the clock's.
      "Time: " + locale.toString(now, locale.timeFormat(QLocale::LongFormat)),
      kRule,
      "",
      "Module Name: " + c_.ModName->text(),
      "Module Version: " + c_.Brim->text(),
      "Network Baud Rate: " + c_.NetBaud->currentText(),
      "Communications Delay (ms): " + c_.ComDlyTxt->text(),
      "Configuration (hex): " + hexText(static_cast<uint32_t>(s_.ConfigWord), 4),
  };
  // Channel digits stand under the header's "CH", "Low" and "High".
  if (!c_.Analog8Lim->isHidden() || !c_.Analog12Lim->isHidden()) {
    lines << "Analog Limits   CH    Low   High (hex)";
  }
  if (!c_.Analog8Lim->isHidden()) {
    for (int i = 0; i < 4; ++i) {
      lines << QString(16, ' ') + QString(" %1 ").arg(i) + QString(4, ' ') +
                   limitHex(c_.LLim[i], 2) + QString(4, ' ') + limitHex(c_.HLim[i], 2);
    }
  }
  if (!c_.Analog12Lim->isHidden()) {
    for (int i = 0; i < 2; ++i) {
      lines << QString(16, ' ') + QString(" %1 ").arg(4 + i) + QString(3, ' ') +
                   limitHex(c_.LLim12[i], 3) + QString(3, ' ') + limitHex(c_.HLim12[i], 3);
    }
  }
  if (!c_.PWMDefaults->isHidden()) {
    lines << "PWM  Period: " + c_.PWMPeriod->text() << "PWM Percent: " + c_.PWMPct->text();
  }
  if (!c_.PortDir->isHidden()) {
    lines << "Digital Outputs Default Direction (7-0)"
          << "     Bits 7 6 5 4 3 2 1 0";
    QString directions(9, ' ');
    for (int bit = 7; bit >= 0; --bit) directions += " " + c_.DDir[bit]->text();
    lines << directions << "";
  } else {
    lines << ""
          << "";
  }
  lines << "---- END ----";
  return lines.join("\r\n") + "\r\n";
}

// Appends the report. A file that cannot be opened or written is named in a
// message with the reason; what was appended of a failed report is taken back,
// and the report does not count as saved.
void TopForm::WriteConfigReport() {
  // Taken at once: a tick that runs while a message below is open must not
  // write the report again.
  s_.PrintFlag = 0;
  const QByteArray bytes = configReportText().toLocal8Bit();
  QFile file(s_.NetFileName);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
    services_.boxes.ok(
        QString("Can not open the report file %1: %2").arg(s_.NetFileName, file.errorString()));
    return;
  }
  // A device has no length to go back to.
  const qint64 before = file.isSequential() ? -1 : file.size();
  // A short write carries no reason; the next one gives it.
  qint64 written = 0;
  while (written < bytes.size()) {
    const qint64 n = file.write(bytes.constData() + written, bytes.size() - written);
    if (n <= 0) break;
    written += n;
  }
  if (written != bytes.size()) {
    const QString reason = file.errorString();
    if (before >= 0) file.resize(before);
    services_.boxes.ok(QString("Can not write the report file %1: %2").arg(s_.NetFileName, reason));
    return;
  }
  file.close();
  s_.ParamsSaved = true;
}
