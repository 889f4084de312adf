// SPDX-License-Identifier: MIT
// Leaving the program: Done and the window's close button ask the same
// questions before the port is closed.
#include <QCloseEvent>
#include <QGroupBox>
#include <QTimer>

#include "colours.h"
#include "light.h"
#include "top_form.h"

bool TopForm::AllParametersSent() const {
  bool result = true;
  for (const SettingsGroup& g : settingsGroups(c_)) {
    const bool shown = !g.frame || !g.frame->isHidden();
    // A hidden group that the configuration switched off does not count; the
    // others are hidden only while no port is open, and count as unsent.
    if (shown ? g.alarm->colour() == colours::Unsent : !g.followsConfiguration) result = false;
  }
  return result;
}

// True when the operator lets the program end.
bool TopForm::confirmExit() {
  if (s_.ComPort == 0) return true;
  if (!AllParametersSent()) {
    return services_.boxes.yesNo("All Parameters have NOT been sent.  Exit anyway?", "Done");
  }
  if (!s_.ParamsSaved) {
    return services_.boxes.yesNo("All Parameters have NOT been Saved.  Exit anyway?", "Done");
  }
  return true;
}

void TopForm::Done_Click() {
  if (!confirmExit()) return;
  if (s_.ComPort != 0) services_.library.btPortClose();
  endProgram();
}

void TopForm::closeEvent(QCloseEvent* event) {
  if (ending_) {
    event->accept();
    return;
  }
  if (!confirmExit()) {
    event->ignore();
    return;
  }
  if (s_.ComPort != 0) services_.library.btPortClose();
  endProgram();
  event->accept();
}

// Ends at once: the timer stops, queued commands stay unsent, and no further
// handler runs.
void TopForm::endProgram() {
  ending_ = true;
  c_.Timer2->stop();
  close();
  services_.exit.end();
}
