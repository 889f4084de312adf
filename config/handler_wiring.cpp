// SPDX-License-Identifier: MIT
// Every control's events, tied to the window's handlers.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTimer>

#include "top_form.h"

void TopForm::connectHandlers() {
  connect(c_.Timer2, &QTimer::timeout, this, [this] { Timer2_Timer(); });
  for (int i = 0; i < 2; ++i) {
    // A click, also on the option already chosen (which matters only after a
    // communication error); clearing an option is no choice.
    connect(c_.ComSel[i], &QRadioButton::clicked, this, [this, i] { ComSel_Click(i); });
  }
  connect(c_.SelMod, &QPushButton::clicked, this, [this] { SelMod_Click(); });
  connect(c_.ModName, &QLineEdit::textChanged, this, [this] { ModName_Change(); });
  connect(c_.Send, &QPushButton::clicked, this, [this] { Send_Click(); });
  connect(c_.Done, &QPushButton::clicked, this, [this] { Done_Click(); });

  for (int n = 0; n < 16; ++n) {
    // Any change of the box counts, also one the program makes.
    connect(c_.ConfigReq[n], &QCheckBox::toggled, this, [this, n] { ConfigReq_Click(n); });
  }
  connect(c_.UpdateConfig, &QPushButton::clicked, this, [this] { UpdateConfig_Click(); });

  const auto limits = [this](Limits group, auto& low, auto& high, auto& lowSet, auto& highSet) {
    for (int i = 0; i < static_cast<int>(low.size()); ++i) {
      for (bool isLow : {true, false}) {
        QLineEdit* box = isLow ? low[i] : high[i];
        connect(box, &QLineEdit::textChanged, this, [this, group] { LimitBox_Change(group); });
        connect(box, &QLineEdit::editingFinished, this,
                [this, group, i, isLow] { LimitBox_EditingFinished(group, i, isLow); });
        connect(isLow ? lowSet[i] : highSet[i], &QSlider::valueChanged, this,
                [this, group, i, isLow] { LimitSet_Change(group, i, isLow); });
      }
    }
  };
  limits(Limits::Bits8, c_.LLim, c_.HLim, c_.LLimSet, c_.HLimSet);
  limits(Limits::Bits12, c_.LLim12, c_.HLim12, c_.LLim12Set, c_.HLim12Set);
  connect(c_.SetAna8DefaultLimits, &QPushButton::clicked, this,
          [this] { SetDefaultLimits_Click(Limits::Bits8); });
  connect(c_.SetAna12DefaultLimits, &QPushButton::clicked, this,
          [this] { SetDefaultLimits_Click(Limits::Bits12); });

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
