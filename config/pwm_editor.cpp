// SPDX-License-Identifier: MIT
// The PWM defaults: the period and the share of it spent high. The module
// takes the high time in the period's own units, not the percentage.
#include <QLineEdit>
#include <QSlider>

#include "colours.h"
#include "light.h"
#include "number_text.h"
#include "top_form.h"

void TopForm::PWMPeriodSet_Change() {
  c_.PWMPeriod->setText(QString::number(c_.PWMPeriodSet->value()));
}

void TopForm::PWMPctSet_Change() {
  c_.PWMPct->setText(QString::number(c_.PWMPctSet->value()));
}

// Typing in the value boxes only marks the setting unsent: the sliders'
// values are what is sent.
void TopForm::PWMPeriod_Change() {
  c_.PWMAlarm->setColour(colours::Unsent);
}

void TopForm::PWMPct_Change() {
  c_.PWMAlarm->setColour(colours::Unsent);
}

void TopForm::SetDefaultPWM_Click() {
  const int64_t period = c_.PWMPeriodSet->value();
  const int64_t percent = c_.PWMPctSet->value();
  const auto high = static_cast<uint32_t>(divideRoundHalfEven(period * percent, 100));
  queueSetting(QString("SP %1 %2").arg(hexText(static_cast<uint32_t>(period)), hexText(high)),
               c_.PWMAlarm);
}
