// SPDX-License-Identifier: MIT
// The main window's controls and where they stand. Positions are fixed, as in
// the window's design: a frame that is hidden leaves its place empty rather
// than moving its neighbours.
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTimer>

#include "colours.h"
#include "command_text.h"
#include "light.h"
#include "top_form_controls.h"

namespace {

constexpr int kLightSide = 14;

QString indexed(const char* name, int index) {
  return QString("%1(%2)").arg(name).arg(index);
}

template <typename W>
W* named(W* widget, const QString& name) {
  widget->setObjectName(name);
  return widget;
}

QPushButton* button(QWidget* parent, const QString& name, const QString& caption, QRect place,
                    const QString& toolTip = {}) {
  auto* b = named(new QPushButton(caption, parent), name);
  b->setGeometry(place);
  if (!toolTip.isEmpty()) b->setToolTip(toolTip);
  return b;
}

QLabel* label(QWidget* parent, const QString& name, const QString& caption, QRect place) {
  auto* l = named(new QLabel(caption, parent), name);
  l->setGeometry(place);
  return l;
}

QLineEdit* textBox(QWidget* parent, const QString& name, const QString& text, QRect place) {
  auto* t = named(new QLineEdit(text, parent), name);
  t->setGeometry(place);
  return t;
}

Light* light(QWidget* parent, const QString& name, uint32_t colour, QPoint topLeft) {
  auto* l = named(new Light(colour, parent), name);
  l->setGeometry(QRect(topLeft, QSize(kLightSide, kLightSide)));
  return l;
}

QSlider* slider(QWidget* parent, const QString& name, int minimum, int maximum, int largeStep,
                int value, QRect place) {
  auto* s = named(new QSlider(Qt::Horizontal, parent), name);
  s->setRange(minimum, maximum);
  s->setSingleStep(1);
  s->setPageStep(largeStep);
  s->setValue(value);
  s->setGeometry(place);
  return s;
}

QGroupBox* frame(QWidget* parent, const QString& name, const QString& caption, QRect place) {
  auto* f = named(new QGroupBox(caption, parent), name);
  f->setGeometry(place);
  return f;
}

// Green text on dark grey, for the boxes that mirror a slider.
void valueBoxColours(QLineEdit* box) {
  box->setStyleSheet("QLineEdit { color: #00FF00; background-color: #404040; }");
}

void buildConfigurationRows(QWidget* form, TopFormControls& c) {
  static const char* const kDescriptions[16] = {
      "- Enable 12 Bit Analog I/O",
      "- Enable 8 bit Analog I/O",
      "- Enable PWM Output",
      "- Enable Frequency Input",
      "- Enable Printer Output",
      "- Clear Analog Min/Max After Query",
      "- Enable Digital Outputs with 12 bit Analog Limits",
      "- Enable Digital Outputs with 8 bit Analog Limits",
      "- Enable iButton Reading",
      "- Enable Totalizer",
      "- Reserved",
      "- Reserved",
      "- Force Configuration Mode on Reset",
      "- Enable LCD/Keypad Support",
      "- Reserved",
      "- Reserved",
  };
  constexpr int kTop = 8;
  constexpr int kRow = 19;
  for (int n = 0; n < 16; ++n) {
    const int y = kTop + (15 - n) * kRow;  // bit 15 at the top
    auto* request = named(new QCheckBox(form), indexed("ConfigReq", n));
    request->setGeometry(12, y, 18, kRow);
    request->setEnabled(n != 10 && n != 11 && n != 14 && n != 15);
    c.ConfigReq[n] = request;
    c.CB[n] = label(form, indexed("CB", n), QString::number(n), QRect(32, y, 22, kRow));
    c.CB[n]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    c.ConfigBit[n] = light(form, indexed("ConfigBit", n), colours::Clear, QPoint(62, y + 2));
    const QString name = n == 12 ? indexed("Label10", 0) : QString("Label%1").arg(22 - n);
    c.BitDescription[n] = label(form, name, kDescriptions[n], QRect(84, y, 316, kRow));
  }
  c.Label10[0] = c.BitDescription[12];
}

void buildCommunications(QWidget* form, TopFormControls& c) {
  auto* f = c.Communications =
      frame(form, "Communications", "Communications", QRect(8, 350, 392, 160));
  for (int i = 0; i < 2; ++i) {
    c.ComSel[i] = named(new QRadioButton(QString("Com%1").arg(i + 1), f), indexed("ComSel", i));
    c.ComSel[i]->setGeometry(10 + i * 66, 22, 62, 20);
  }
  c.ComOK = light(f, "ComOK", colours::DarkGrey, QPoint(150, 25));
  c.CommEstab = label(f, "CommEstab", "Communications Status", QRect(170, 22, 212, 20));
  // The design texts are hints, never contents that could be sent.
  c.DataSent = textBox(f, "DataSent", "", QRect(10, 48, 290, 24));
  c.DataSent->setPlaceholderText("Data Sent");
  takeOnlySendableText(c.DataSent, kMaxCommand);
  c.Send = button(f, "Send", "Send", QRect(306, 48, 76, 24), " Enter Data then Select SEND. ");
  c.Reply = textBox(f, "Reply", "", QRect(10, 78, 372, 24));
  c.Reply->setPlaceholderText("Data Received");
  c.Reply->setReadOnly(true);
  c.Brim = label(f, "Brim", "Brimtally Version ???", QRect(10, 106, 372, 22));
  c.DLLVER = label(f, "DLLVER", "", QRect(10, 130, 372, 22));
}

void buildModuleId(QWidget* form, TopFormControls& c) {
  auto* f = c.ModID = frame(form, "ModID", "Module ID", QRect(8, 514, 392, 56));
  c.ModName = textBox(f, "ModName", "", QRect(10, 22, 200, 24));
  takeOnlySendableText(c.ModName, kMaxModuleName);
  c.SelMod = button(f, "SelMod", "Rename Module", QRect(216, 22, 132, 24),
                    " Enter New Name then Select Rename. ");
  c.ModIDAlarm = light(f, "ModIDAlarm", colours::Unsent, QPoint(360, 27));
}

void buildNetBaud(QWidget* form, TopFormControls& c) {
  auto* f = c.NetBaudRate = frame(form, "NetBaudRate", "Network Baud Rate", QRect(408, 8, 378, 52));
  c.NetBaud = named(new QComboBox(f), QString("NetBaud"));
  c.NetBaud->addItems({"   300", "  1200", "  2400", "  9600", "19200", "57600"});
  c.NetBaud->setGeometry(10, 21, 110, 24);
  c.NetBaud->setToolTip(" A List of Defined Brimtally Modules. ");
  c.SetNetBaud = button(f, "SetNetBaud", "Set Baud", QRect(128, 21, 100, 24));
  c.NetBaudAlarm = light(f, "NetBaudAlarm", colours::Unsent, QPoint(238, 26));
}

void buildCommDelay(QWidget* form, TopFormControls& c) {
  auto* f = c.CommDelay = frame(form, "CommDelay", "Communications Delay", QRect(408, 64, 378, 52));
  c.ComDlySldr = slider(f, "ComDlySldr", 0, 254, 5, 50, QRect(10, 22, 100, 22));
  c.ComDlyTxt = textBox(f, "ComDlyTxt", "Delay ??", QRect(116, 21, 50, 24));
  valueBoxColours(c.ComDlyTxt);
  c.SetDelay = button(f, "SetDelay", "Set Communications Delay", QRect(172, 21, 180, 24));
  c.CommDelayAlarm = light(f, "CommDelayAlarm", colours::Unsent, QPoint(358, 26));
}

// One row per channel: low box, low slider, high box, high slider.
template <size_t N>
void buildLimitRows(QGroupBox* f, const char* low, const char* high, const char* lowSet,
                    const char* highSet, int maximum, std::array<QLineEdit*, N>& lowBoxes,
                    std::array<QLineEdit*, N>& highBoxes, std::array<QSlider*, N>& lowSliders,
                    std::array<QSlider*, N>& highSliders) {
  for (size_t i = 0; i < N; ++i) {
    const int y = 20 + static_cast<int>(i) * 23;
    const int index = static_cast<int>(i);
    lowBoxes[i] = textBox(f, indexed(low, index), "", QRect(10, y, 46, 22));
    lowSliders[i] = slider(f, indexed(lowSet, index), 0, maximum, 5, 50, QRect(60, y, 124, 22));
    highBoxes[i] = textBox(f, indexed(high, index), "", QRect(194, y, 46, 22));
    highSliders[i] = slider(f, indexed(highSet, index), 0, maximum, 5, 50, QRect(244, y, 124, 22));
  }
}

void buildAnalogLimits(QWidget* form, TopFormControls& c) {
  auto* f8 = c.Analog8Lim =
      frame(form, "Analog8Lim", "Default 8 Bit Analog Limits", QRect(408, 120, 378, 140));
  buildLimitRows(f8, "LLim", "HLim", "LLimSet", "HLimSet", 255, c.LLim, c.HLim, c.LLimSet,
                 c.HLimSet);
  c.SetAna8DefaultLimits = button(f8, "SetAna8DefaultLimits", "Set Defalut 8 Bit Analog Limits",
                                  QRect(10, 111, 230, 24));
  c.Ana8Alarm = light(f8, "Ana8Alarm", colours::Unsent, QPoint(250, 116));

  auto* f12 = c.Analog12Lim =
      frame(form, "Analog12Lim", "Default 12 Bit Analog Limits", QRect(408, 264, 378, 96));
  buildLimitRows(f12, "LLim12", "HLim12", "LLim12Set", "HLim12Set", 4095, c.LLim12, c.HLim12,
                 c.LLim12Set, c.HLim12Set);
  c.SetAna12DefaultLimits = button(f12, "SetAna12DefaultLimits", "Set Defalut 12 Bit Analog Limits",
                                   QRect(10, 67, 230, 24));
  c.Ana12Alarm = light(f12, "Ana12Alarm", colours::Unsent, QPoint(250, 72));
}

void buildPwm(QWidget* form, TopFormControls& c) {
  auto* f = c.PWMDefaults = frame(form, "PWMDefaults", "PWM Defaults", QRect(408, 364, 378, 96));
  c.PWMLabel = label(f, "PWMLabel", "PWM", QRect(10, 20, 80, 22));
  c.PWMPeriodSet = slider(f, "PWMPeriodSet", 16, 32767, 50, 50, QRect(94, 20, 200, 22));
  c.PWMPeriod = textBox(f, "PWMPeriod", "PWM ??", QRect(300, 20, 66, 22));
  valueBoxColours(c.PWMPeriod);
  c.PWMPctLabel = label(f, "PWMPctLabel", "PWM % High", QRect(10, 43, 80, 22));
  c.PWMPctSet = slider(f, "PWMPctSet", 0, 100, 5, 50, QRect(94, 43, 200, 22));
  c.PWMPct = textBox(f, "PWMPct", "% ??", QRect(300, 43, 66, 22));
  valueBoxColours(c.PWMPct);
  c.SetDefaultPWM =
      button(f, "SetDefaultPWM", "Set Default PWM Parameters", QRect(10, 67, 230, 24));
  c.PWMAlarm = light(f, "PWMAlarm", colours::Unsent, QPoint(250, 72));
}

void buildPortDirections(QWidget* form, TopFormControls& c) {
  auto* f = c.PortDir =
      frame(form, "PortDir", "I/O Default Port Directions", QRect(408, 464, 378, 106));
  for (int bit = 0; bit < 8; ++bit) {
    const int x = 10 + (7 - bit) * 30;  // bit 7 at the left
    const int labelIndex = bit == 0 ? 8 : bit;
    c.Label10[labelIndex] =
        label(f, indexed("Label10", labelIndex), QString::number(bit), QRect(x, 20, 26, 16));
    c.Label10[labelIndex]->setAlignment(Qt::AlignCenter);
    c.DDir[bit] = button(f, indexed("DDir", bit), "I", QRect(x, 37, 26, 24));
  }
  c.Label4 = label(f, "Label4", "O=Output", QRect(262, 37, 100, 18));
  c.Label5 = label(f, "Label5", "I=Input", QRect(262, 55, 100, 18));
  c.SetDefaultPortDir =
      button(f, "SetDefaultPortDir", "Set Default I/O Port Direction", QRect(10, 72, 230, 24));
  c.IODirAlarm = light(f, "IODirAlarm", colours::Unsent, QPoint(250, 77));
}

}  // namespace

TopFormControls buildTopFormLayout(QWidget* form) {
  TopFormControls c{};
  form->setWindowTitle("Pexil Brimtally Module Configuration V00-09");
  form->setFixedSize(794, 575);

  buildConfigurationRows(form, c);
  c.UpdateConfig = button(form, "UpdateConfig", "Change Configuration", QRect(12, 318, 170, 26),
                          " Select to Set Selected Configuration. ");
  c.ConfigAlert = light(form, "ConfigAlert", colours::Unsent, QPoint(190, 324));
  c.PrintButton = button(form, "PrintButton", "Save to File", QRect(214, 318, 104, 26),
                         "File for reference Please mark Brimtally module");
  c.Done =
      button(form, "Done", "Done", QRect(324, 318, 76, 26), " Exit this Demonstration Program. ");

  buildCommunications(form, c);
  buildModuleId(form, c);
  buildNetBaud(form, c);
  buildCommDelay(form, c);
  buildAnalogLimits(form, c);
  buildPwm(form, c);
  buildPortDirections(form, c);

  c.Timer2 = named(new QTimer(form), QString("Timer2"));
  return c;
}

std::array<SettingsGroup, 8> settingsGroups(const TopFormControls& c) {
  return {{{c.ConfigAlert, nullptr, false},
           {c.NetBaudAlarm, c.NetBaudRate, false},
           {c.ModIDAlarm, c.ModID, false},
           {c.CommDelayAlarm, c.CommDelay, false},
           {c.IODirAlarm, c.PortDir, true},
           {c.Ana8Alarm, c.Analog8Lim, true},
           {c.Ana12Alarm, c.Analog12Lim, true},
           {c.PWMAlarm, c.PWMDefaults, true}}};
}
