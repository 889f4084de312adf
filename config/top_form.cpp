// SPDX-License-Identifier: MIT
#include "top_form.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTimer>

#include "colours.h"
#include "light.h"

TopForm::TopForm(Services services, QWidget* parent)
    : QWidget(parent), services_(services), c_(buildTopFormLayout(this)) {
  setObjectName("TopForm");
  connectHandlers();
  Form_Load();
}

void TopForm::Form_Load() {
  s_.VersionPending = true;
  c_.PrintButton->setEnabled(false);
  for (const SettingsGroup& g : settingsGroups(c_)) {
    if (g.frame) g.frame->hide();
  }
  c_.UpdateConfig->setEnabled(false);
  c_.Send->setEnabled(false);
  for (const SettingsGroup& g : settingsGroups(c_)) g.alarm->setColour(colours::Unsent);
  // Each slider's change handler writes its value into the matching box.
  for (int i = 0; i < 4; ++i) {
    c_.LLimSet[i]->setValue(0);
    c_.HLimSet[i]->setValue(255);
  }
  for (int i = 0; i < 2; ++i) {
    c_.LLim12Set[i]->setValue(0);
    c_.HLim12Set[i]->setValue(4095);
  }
  s_.Commands.clear();
  s_.NextCommand = "QC";
  QueueCommand();
  c_.ComDlySldr->setValue(50);
  c_.ComDlyTxt->setText(QString::number(c_.ComDlySldr->value()));
  c_.PWMPeriodSet->setValue(1000);
  c_.PWMPeriod->setText(QString::number(c_.PWMPeriodSet->value()));
  c_.PWMPctSet->setValue(50);
  c_.PWMPct->setText(QString::number(c_.PWMPctSet->value()));
  c_.NetBaud->setCurrentIndex(3);
  for (Light* bit : c_.ConfigBit) bit->setColour(colours::Clear);
  c_.ComOK->setColour(colours::Clear);
  s_.ComPort = 0;
  c_.Timer2->setInterval(400);
  c_.Timer2->start();
}

void TopForm::MarkDefaultsUnsent() {
  for (const SettingsGroup& g : settingsGroups(c_)) {
    if (g.followsConfiguration) g.alarm->setColour(colours::Unsent);
  }
  s_.ParamsSaved = false;
}
