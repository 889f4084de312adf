// The default limit editors: 8-bit channels 0-3 and 12-bit channels 4-5. The
// text boxes hold the values that are sent; the sliders write into them and
// keep each channel's low limit from crossing its high limit.
#include <QLineEdit>
#include <QSlider>
#include <cmath>
#include <optional>
#include <vector>

#include "colours.h"
#include "light.h"
#include "number_text.h"
#include "top_form.h"

namespace {

// The slider wrote `box`; when its number has crossed the other limit, the
// other slider is pushed to it. Its own handler then finds the two equal.
void guardCrossing(const QLineEdit* box, const QLineEdit* otherBox, QSlider* otherSlider,
                   bool movedLow) {
  const double own = leadingNumber(box->text());
  const double other = leadingNumber(otherBox->text());
  if (movedLow ? own > other : own < other) {
    otherSlider->setValue(static_cast<int>(std::lrint(own)));
  }
}

struct LimitBox {
  const QLineEdit* box;
  QString name;
};

// Every box of the group as a whole decimal number, or the first that is not.
std::optional<LimitBox> firstInvalid(const std::vector<LimitBox>& boxes) {
  for (const LimitBox& b : boxes) {
    if (!wholeDecimal(b.box->text())) return b;
  }
  return std::nullopt;
}

QString limitCommand(int channel, const QLineEdit* low, const QLineEdit* high) {
  return QString("SLD %1 %2 %3")
      .arg(channel)
      .arg(hexText(*wholeDecimal(low->text())), hexText(*wholeDecimal(high->text())));
}

QString refusal(const LimitBox& b, const char* group) {
  return QString(
             "The %1 box holds \"%2\", which is not a whole decimal number from 0 to "
             "2147483647.  No %3 limits were sent.")
      .arg(b.name, b.box->text(), group);
}

}  // namespace

void TopForm::LLim_Change(int) {
  c_.Ana8Alarm->setColour(colours::Unsent);
}

void TopForm::HLim_Change(int) {
  c_.Ana8Alarm->setColour(colours::Unsent);
}

void TopForm::LLim12_Change(int) {
  c_.Ana12Alarm->setColour(colours::Unsent);
}

void TopForm::HLim12_Change(int) {
  c_.Ana12Alarm->setColour(colours::Unsent);
}

// The 8-bit slider handlers leave the alarm to the boxes' change events.
void TopForm::LLimSet_Change(int i) {
  c_.LLim[i]->setText(QString::number(c_.LLimSet[i]->value()));
  guardCrossing(c_.LLim[i], c_.HLim[i], c_.HLimSet[i], true);
}

void TopForm::HLimSet_Change(int i) {
  c_.HLim[i]->setText(QString::number(c_.HLimSet[i]->value()));
  guardCrossing(c_.HLim[i], c_.LLim[i], c_.LLimSet[i], false);
}

void TopForm::LLim12Set_Change(int i) {
  c_.LLim12[i]->setText(QString::number(c_.LLim12Set[i]->value()));
  guardCrossing(c_.LLim12[i], c_.HLim12[i], c_.HLim12Set[i], true);
  c_.Ana12Alarm->setColour(colours::Unsent);
}

void TopForm::HLim12Set_Change(int i) {
  c_.HLim12[i]->setText(QString::number(c_.HLim12Set[i]->value()));
  guardCrossing(c_.HLim12[i], c_.LLim12[i], c_.LLim12Set[i], false);
  c_.Ana12Alarm->setColour(colours::Unsent);
}

void TopForm::SetAna8DefaultLimits_Click() {
  std::vector<LimitBox> boxes;
  for (int i = 0; i < 4; ++i) {
    boxes.push_back({c_.LLim[i], QString("8 bit channel %1 low limit").arg(i)});
    boxes.push_back({c_.HLim[i], QString("8 bit channel %1 high limit").arg(i)});
  }
  // Checked before anything is queued, so a refused group sends nothing.
  if (const auto bad = firstInvalid(boxes)) {
    services_.boxes.ok(refusal(*bad, "8 bit"));
    return;
  }
  for (int i = 0; i < 4; ++i) {
    s_.NextCommand = limitCommand(i, c_.LLim[i], c_.HLim[i]);
    QueueCommand();
  }
  c_.Ana8Alarm->setColour(colours::Sent);
  s_.ParamsSaved = false;
}

void TopForm::SetAna12DefaultLimits_Click() {
  std::vector<LimitBox> boxes;
  for (int i = 0; i < 2; ++i) {
    boxes.push_back({c_.LLim12[i], QString("12 bit channel %1 low limit").arg(4 + i)});
    boxes.push_back({c_.HLim12[i], QString("12 bit channel %1 high limit").arg(4 + i)});
  }
  if (const auto bad = firstInvalid(boxes)) {
    services_.boxes.ok(refusal(*bad, "12 bit"));
    return;
  }
  for (int i = 0; i < 2; ++i) {
    s_.NextCommand = limitCommand(4 + i, c_.LLim12[i], c_.HLim12[i]);
    QueueCommand();
  }
  c_.Ana12Alarm->setColour(colours::Sent);
  s_.ParamsSaved = false;
}
