// SPDX-License-Identifier: MIT
// The module network's baud rate. The program's own line stays at 9600: the
// command changes only the module's network side.
#include <QComboBox>

#include "colours.h"
#include "light.h"
#include "top_form.h"

void TopForm::NetBaud_Click() {
  c_.NetBaudAlarm->setColour(colours::Unsent);
}

void TopForm::SetNetBaud_Click() {
  // By list position: "   300", "  1200", "  2400", "  9600", "19200", "57600".
  static const char* const kCommands[] = {"CB 3", "CB 12", "CB 24", "CB 96", "CB 19", "CB 57"};
  const int position = c_.NetBaud->currentIndex();
  if (position < 0 || position >= static_cast<int>(std::size(kCommands))) return;
  queueSetting(kCommands[position], c_.NetBaudAlarm);
}
