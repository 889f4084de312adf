// SPDX-License-Identifier: MIT
// The default limit editors: 8-bit channels 0-3 and 12-bit channels 4-5. The
// text boxes hold the values that are sent; the sliders write into them, and
// a channel's low limit never stays above its high limit after a change.
#include <QLineEdit>
#include <QSlider>
#include <cmath>
#include <span>

#include "colours.h"
#include "light.h"
#include "number_text.h"
#include "top_form.h"

namespace {

struct LimitEditor {
  std::span<QLineEdit*const> low, high;
  std::span<QSlider*const> lowSet, highSet;
  Light* alarm;
  int firstChannel;
  uint32_t maximum;
  const char* name;
};

LimitEditor editor(const TopFormControls& c, Limits group) {
  if (group == Limits::Bits8) {
    return {c.LLim, c.HLim, c.LLimSet, c.HLimSet, c.Ana8Alarm, 0, 255, "8 bit"};
  }
  return {c.LLim12, c.HLim12, c.LLim12Set, c.HLim12Set, c.Ana12Alarm, 4, 4095, "12 bit"};
}

// One side of channel i has a new number; when it has crossed the other
// side, the other is pushed to it. Its box is written here as well, since a
// slider set to the value it already has raises no change.
void keepOrder(const LimitEditor& e, int i, bool lowMoved) {
  const double own = leadingNumber((lowMoved ? e.low : e.high)[i]->text());
  QLineEdit* otherBox = (lowMoved ? e.high : e.low)[i];
  QSlider* otherSlider = (lowMoved ? e.highSet : e.lowSet)[i];
  const double other = leadingNumber(otherBox->text());
  if (lowMoved ? own > other : own < other) {
    otherSlider->setValue(static_cast<int>(std::lrint(own)));
    otherBox->setText(QString::number(otherSlider->value()));
  }
}

}  // namespace

void TopForm::LimitBox_Change(Limits group) {
  editor(c_, group).alarm->setColour(colours::Unsent);
}

// A typed limit counts once the operator leaves the box, as a slider's would.
void TopForm::LimitBox_EditingFinished(Limits group, int i, bool low) {
  keepOrder(editor(c_, group), i, low);
}

void TopForm::LimitSet_Change(Limits group, int i, bool low) {
  const LimitEditor e = editor(c_, group);
  (low ? e.low : e.high)[i]->setText(QString::number((low ? e.lowSet : e.highSet)[i]->value()));
  keepOrder(e, i, low);
  e.alarm->setColour(colours::Unsent);
}

// Every box is checked before anything is queued, so a refused group sends
// nothing; the refusal names each box at fault.
void TopForm::SetDefaultLimits_Click(Limits group) {
  const LimitEditor e = editor(c_, group);
  QStringList faults;
  const auto value = [&](const QLineEdit* box, int channel, const char* side) {
    const auto v = wholeDecimal(box->text());
    if (v && *v <= e.maximum) return v;
    faults << QString(
                  "The %1 channel %2 %3 limit box holds \"%4\", which is not a whole decimal "
                  "number from 0 to %5.")
                  .arg(e.name)
                  .arg(channel)
                  .arg(side, box->text())
                  .arg(e.maximum);
    return std::optional<uint32_t>();
  };
  QStringList commands;
  for (size_t i = 0; i < e.low.size(); ++i) {
    const int channel = e.firstChannel + static_cast<int>(i);
    const auto low = value(e.low[i], channel, "low");
    const auto high = value(e.high[i], channel, "high");
    if (low && high && *low > *high) {
      faults << QString("The %1 channel %2 low limit %3 is above its high limit %4.")
                    .arg(e.name)
                    .arg(channel)
                    .arg(*low)
                    .arg(*high);
    } else if (low && high) {
      commands << QString("SLD %1 %2 %3").arg(channel).arg(hexText(*low), hexText(*high));
    }
  }
  if (!faults.isEmpty()) {
    services_.boxes.ok(faults.join('\n') + QString("\nNo %1 limits were sent.").arg(e.name));
    return;
  }
  for (const QString& command : commands) {
    s_.NextCommand = command;
    QueueCommand();
  }
  e.alarm->setColour(colours::Sent);
  s_.ParamsSaved = false;
}
