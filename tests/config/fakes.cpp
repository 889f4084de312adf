#include "fakes.h"

#include <QRadioButton>
#include <QTimer>

Rig::Rig() {
  c.Timer2->stop();
}

void Rig::choose(int index) {
  c.ComSel[index]->click();
}

void Rig::openAndDrain() {
  choose(0);
  ticks(2);
  lib.calls.clear();
}
