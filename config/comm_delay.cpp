// SPDX-License-Identifier: MIT
// The module's own communications delay in milliseconds. It does not change
// the reply time-out the program gives the library.
#include <QLineEdit>
#include <QSlider>

#include "colours.h"
#include "light.h"
#include "number_text.h"
#include "top_form.h"

void TopForm::ComDlySldr_Change() {
  c_.ComDlyTxt->setText(QString::number(c_.ComDlySldr->value()));
  c_.CommDelayAlarm->setColour(colours::Unsent);
}

// Typed text only marks the delay unsent: the slider's value is what is sent.
void TopForm::ComDlyTxt_Change() {
  c_.CommDelayAlarm->setColour(colours::Unsent);
}

void TopForm::SetDelay_Click() {
  queueSetting("CD " + hexText(static_cast<uint32_t>(c_.ComDlySldr->value())), c_.CommDelayAlarm);
}
