// SPDX-License-Identifier: MIT
// Choosing the port, naming the module and sending a typed command.
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "colours.h"
#include "command_text.h"
#include "light.h"
#include "port_failure.h"
#include "top_form.h"

void TopForm::ComSel_Click(int index) {
  if (index < 0 || index > 1) return;
  const int16_t requested = static_cast<int16_t>(index + 1);
  // The port in use is opened again only to recover from a communication
  // error (a device pulled and plugged in again).
  if (s_.ComPort == requested && !s_.CommFailed) return;
  s_.ComPort = requested;
  if (s_.PortOpen == 1) {
    services_.library.btPortClose();
    s_.PortOpen = 0;  // the old port is gone, whatever the new one does
  }
  if (services_.library.btPortOpen(s_.ComPort, 9600) != 0) {
    services_.boxes.ok("Can Not Open Comm Port\n" + portOpenFailure(services_.library, s_.ComPort));
    s_.ComPort = 0;
  } else {
    s_.DeviceRec = services_.library.btInitDLL(&s_.DeviceRec);
    s_.DeviceRec.ReplyTimeout = 30;
    if (s_.DeviceRec.Status != 0) {
      // Not left open behind the window's back: nothing would ever close it.
      services_.library.btPortClose();
      services_.boxes.ok("Can Not Initialize Data Structure");
      s_.ComPort = 0;
    } else {
      s_.PortOpen = 1;
      s_.CommFailed = false;
      // The bits and frames on show may be another module's.
      if (!s_.Commands.holds("QC")) {
        s_.NextCommand = "QC";
        QueueCommand();
      }
    }
  }
  showPortState();
  if (s_.ComPort == 0) clearPortChoice();
}

void TopForm::showPortState() {
  const bool open = s_.PortOpen == 1;
  c_.NetBaudRate->setVisible(open);
  c_.ModID->setVisible(open);
  c_.CommDelay->setVisible(open);
  if (!open) c_.PortDir->hide();
  c_.UpdateConfig->setEnabled(open);
  c_.Send->setEnabled(open);
}

// After a failed open no port is chosen, and the options say so; the operator
// can then choose the same port again to retry.
void TopForm::clearPortChoice() {
  for (QRadioButton* option : c_.ComSel) {
    option->setAutoExclusive(false);
    option->setChecked(false);
    option->setAutoExclusive(true);
  }
}

// A text the module cannot read is refused, never changed on its way out.
bool TopForm::refuseUnsendable(QLineEdit* box) {
  if (sendable(box->text())) return false;
  explainRefusal(box);
  return true;
}

void TopForm::SelMod_Click() {
  if (refuseUnsendable(c_.ModName)) return;
  s_.NextCommand = "A " + c_.ModName->text();
  QueueCommand();
  s_.NextCommand = "QC";
  QueueCommand();
  s_.VersionPending = true;
  s_.ParamsSaved = false;
}

void TopForm::ModName_Change() {
  for (const SettingsGroup& g : settingsGroups(c_)) g.alarm->setColour(colours::Unsent);
}

void TopForm::Send_Click() {
  if (s_.PortOpen != 1 || c_.DataSent->text().isEmpty() || refuseUnsendable(c_.DataSent)) return;
  s_.NextCommand = c_.DataSent->text();
  QueueCommand();
}
