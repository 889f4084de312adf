// SPDX-License-Identifier: MIT
// The default directions of the eight digital port lines: each button's
// caption is its line's direction, "I" input or "O" output.
#include <QPushButton>

#include "colours.h"
#include "light.h"
#include "number_text.h"
#include "top_form.h"

void TopForm::DDir_Click(int index) {
  QPushButton* line = c_.DDir[index];
  line->setText(line->text() != "I" ? "I" : "O");
  c_.IODirAlarm->setColour(colours::Unsent);
}

// Lines locked by the configuration count by their captions like the others.
void TopForm::SetDefaultPortDir_Click() {
  uint32_t inputs = 0;
  for (int i = 0; i < 8; ++i) {
    if (c_.DDir[i]->text() == "I") inputs |= 1u << i;
  }
  queueSetting("SBD " + hexText(inputs), c_.IODirAlarm);
}
