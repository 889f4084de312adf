#include "top_form.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
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

void TopForm::connectHandlers() {
  connect(c_.Timer2, &QTimer::timeout, this, [this] { Timer2_Timer(); });
  for (int i = 0; i < 2; ++i) {
    // Only "became selected" counts: clicking the option already chosen does
    // nothing, and the option being cleared is not a choice.
    connect(c_.ComSel[i], &QRadioButton::toggled, this, [this, i](bool checked) {
      if (checked) ComSel_Click(i);
    });
  }
  connect(c_.SelMod, &QPushButton::clicked, this, [this] { SelMod_Click(); });
  connect(c_.ModName, &QLineEdit::textChanged, this, [this] { ModName_Change(); });
  connect(c_.Send, &QPushButton::clicked, this, [this] { Send_Click(); });
  connect(c_.Done, &QPushButton::clicked, this, [this] { Done_Click(); });
  connectEditorHandlers();
}

void TopForm::Form_Load() {
  s_.VersionPending = true;
  c_.PrintButton->setEnabled(false);
  for (QGroupBox* f : {c_.Analog8Lim, c_.Analog12Lim, c_.PWMDefaults, c_.NetBaudRate, c_.ModID,
                       c_.CommDelay, c_.PortDir}) {
    f->hide();
  }
  c_.UpdateConfig->setEnabled(false);
  c_.Send->setEnabled(false);
  for (Light* l : {c_.ConfigAlert, c_.Ana8Alarm, c_.Ana12Alarm, c_.PWMAlarm, c_.CommDelayAlarm,
                   c_.NetBaudAlarm, c_.ModIDAlarm, c_.IODirAlarm}) {
    l->setColour(colours::Unsent);
  }
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
  for (Light* l : {c_.Ana12Alarm, c_.Ana8Alarm, c_.PWMAlarm, c_.IODirAlarm}) {
    l->setColour(colours::Unsent);
  }
  s_.ParamsSaved = false;
}
