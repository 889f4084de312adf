// SPDX-License-Identifier: MIT
// Every control of the main window, by the name the program's handlers use.
// Arrays keep their element indexes; each control's objectName is its name, an
// array element's is the name with its index in parentheses, e.g. "ConfigReq(5)".
#pragma once

#include <array>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;
class QTimer;
class QWidget;
class Light;

struct TopFormControls {
  // On the window itself.
  QPushButton* PrintButton;
  QPushButton* Done;
  QPushButton* UpdateConfig;
  std::array<QCheckBox*, 16> ConfigReq;
  std::array<Light*, 16> ConfigBit;
  std::array<QLabel*, 16> CB;
  // The description of bit n (Label22 for bit 0 ... Label7 for bit 15, with
  // Label10(0) for bit 12).
  std::array<QLabel*, 16> BitDescription;
  // Label10(0) is bit 12's description; Label10(1..8) number the port lines.
  std::array<QLabel*, 9> Label10;
  Light* ConfigAlert;
  QTimer* Timer2;

  QGroupBox* Communications;
  std::array<QRadioButton*, 2> ComSel;
  QLineEdit* DataSent;
  QPushButton* Send;
  QLineEdit* Reply;
  QLabel* CommEstab;
  Light* ComOK;
  QLabel* Brim;
  QLabel* DLLVER;

  QGroupBox* ModID;
  QLineEdit* ModName;
  QPushButton* SelMod;
  Light* ModIDAlarm;

  QGroupBox* Analog8Lim;
  std::array<QLineEdit*, 4> LLim;
  std::array<QLineEdit*, 4> HLim;
  std::array<QSlider*, 4> LLimSet;
  std::array<QSlider*, 4> HLimSet;
  QPushButton* SetAna8DefaultLimits;
  Light* Ana8Alarm;

  QGroupBox* Analog12Lim;
  std::array<QLineEdit*, 2> LLim12;
  std::array<QLineEdit*, 2> HLim12;
  std::array<QSlider*, 2> LLim12Set;
  std::array<QSlider*, 2> HLim12Set;
  QPushButton* SetAna12DefaultLimits;
  Light* Ana12Alarm;

  QGroupBox* PWMDefaults;
  QLineEdit* PWMPeriod;
  QLineEdit* PWMPct;
  QSlider* PWMPeriodSet;
  QSlider* PWMPctSet;
  QLabel* PWMLabel;
  QLabel* PWMPctLabel;
  QPushButton* SetDefaultPWM;
  Light* PWMAlarm;

  QGroupBox* PortDir;
  std::array<QPushButton*, 8> DDir;
  QLabel* Label4;
  QLabel* Label5;
  QPushButton* SetDefaultPortDir;
  Light* IODirAlarm;

  QGroupBox* NetBaudRate;
  QComboBox* NetBaud;
  QPushButton* SetNetBaud;
  Light* NetBaudAlarm;

  QGroupBox* CommDelay;
  QLineEdit* ComDlyTxt;
  QSlider* ComDlySldr;
  QPushButton* SetDelay;
  Light* CommDelayAlarm;
};

// A group of settings: its light and the frame of its editors (none for the
// configuration bits, which are always on show). The groups that follow the
// module's configuration are shown only when it offers them.
struct SettingsGroup {
  Light* alarm;
  QGroupBox* frame;
  bool followsConfiguration;
};

// The eight groups, the configuration bits first.
std::array<SettingsGroup, 8> settingsGroups(const TopFormControls& c);

// Creates every control on `form` with its design-time caption, tool tip,
// colour, range and place, and sets the window's caption and size.
TopFormControls buildTopFormLayout(QWidget* form);
