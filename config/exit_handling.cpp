// Leaving the program: Done and the window's close button ask the same
// questions before the port is closed.
#include <QCloseEvent>
#include <QGroupBox>
#include <QTimer>

#include "colours.h"
#include "light.h"
#include "top_form.h"

bool TopForm::AllParametersSent() const {
  const auto unsent = [](const Light* l) { return l->colour() == colours::Unsent; };
  bool result = !unsent(c_.ConfigAlert);
  // Always-present groups: a hidden frame (no port open) counts as unsent.
  for (auto [frame, alarm] :
       {std::pair{c_.NetBaudRate, c_.NetBaudAlarm}, std::pair{c_.ModID, c_.ModIDAlarm},
        std::pair{c_.CommDelay, c_.CommDelayAlarm}}) {
    if (frame->isHidden() || unsent(alarm)) result = false;
  }
  // Groups the configuration switches off do not count while hidden.
  for (auto [frame, alarm] :
       {std::pair{c_.PortDir, c_.IODirAlarm}, std::pair{c_.Analog8Lim, c_.Ana8Alarm},
        std::pair{c_.Analog12Lim, c_.Ana12Alarm}, std::pair{c_.PWMDefaults, c_.PWMAlarm}}) {
    if (!frame->isHidden() && unsent(alarm)) result = false;
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
