// The editors of the configuration request and the module's default settings:
// their events, and the common end of every settings send.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>

#include "colours.h"
#include "light.h"
#include "top_form.h"

void TopForm::connectEditorHandlers() {
  for (int n = 0; n < 16; ++n) {
    // Any change of the box counts, also one the program makes.
    connect(c_.ConfigReq[n], &QCheckBox::toggled, this, [this, n] { ConfigReq_Click(n); });
  }
  connect(c_.UpdateConfig, &QPushButton::clicked, this, [this] { UpdateConfig_Click(); });

  using Handler = void (TopForm::*)(int);
  const auto boxes = [this](auto& array, Handler handler) {
    for (int i = 0; i < static_cast<int>(array.size()); ++i) {
      connect(array[i], &QLineEdit::textChanged, this, [this, handler, i] { (this->*handler)(i); });
    }
  };
  const auto sliders = [this](auto& array, Handler handler) {
    for (int i = 0; i < static_cast<int>(array.size()); ++i) {
      connect(array[i], &QSlider::valueChanged, this, [this, handler, i] { (this->*handler)(i); });
    }
  };
  boxes(c_.LLim, &TopForm::LLim_Change);
  boxes(c_.HLim, &TopForm::HLim_Change);
  boxes(c_.LLim12, &TopForm::LLim12_Change);
  boxes(c_.HLim12, &TopForm::HLim12_Change);
  sliders(c_.LLimSet, &TopForm::LLimSet_Change);
  sliders(c_.HLimSet, &TopForm::HLimSet_Change);
  sliders(c_.LLim12Set, &TopForm::LLim12Set_Change);
  sliders(c_.HLim12Set, &TopForm::HLim12Set_Change);
  connect(c_.SetAna8DefaultLimits, &QPushButton::clicked, this,
          [this] { SetAna8DefaultLimits_Click(); });
  connect(c_.SetAna12DefaultLimits, &QPushButton::clicked, this,
          [this] { SetAna12DefaultLimits_Click(); });

  connect(c_.PWMPeriodSet, &QSlider::valueChanged, this, [this] { PWMPeriodSet_Change(); });
  connect(c_.PWMPctSet, &QSlider::valueChanged, this, [this] { PWMPctSet_Change(); });
  connect(c_.PWMPeriod, &QLineEdit::textChanged, this, [this] { PWMPeriod_Change(); });
  connect(c_.PWMPct, &QLineEdit::textChanged, this, [this] { PWMPct_Change(); });
  connect(c_.SetDefaultPWM, &QPushButton::clicked, this, [this] { SetDefaultPWM_Click(); });

  for (int i = 0; i < 8; ++i) {
    connect(c_.DDir[i], &QPushButton::clicked, this, [this, i] { DDir_Click(i); });
  }
  connect(c_.SetDefaultPortDir, &QPushButton::clicked, this, [this] { SetDefaultPortDir_Click(); });

  connect(c_.NetBaud, &QComboBox::currentIndexChanged, this, [this] { NetBaud_Click(); });
  connect(c_.SetNetBaud, &QPushButton::clicked, this, [this] { SetNetBaud_Click(); });

  connect(c_.ComDlySldr, &QSlider::valueChanged, this, [this] { ComDlySldr_Change(); });
  connect(c_.ComDlyTxt, &QLineEdit::textChanged, this, [this] { ComDlyTxt_Change(); });
  connect(c_.SetDelay, &QPushButton::clicked, this, [this] { SetDelay_Click(); });

  connect(c_.PrintButton, &QPushButton::clicked, this, [this] { PrintButton_Click(); });
}

// The light turns green even when the buffer had to drop the command: the
// operator has been told by the buffer's message.
void TopForm::queueSetting(const QString& command, Light* alarm) {
  s_.NextCommand = command;
  QueueCommand();
  alarm->setColour(colours::Sent);
  s_.ParamsSaved = false;
}
