// SPDX-License-Identifier: MIT
// The main window. Its handlers carry the names of the controls and events
// they serve (control, underscore, event); array handlers take the index.
// The handlers live in files by concern: start-up here, their wiring to the
// controls, the polling cycle, port selection, the configuration bits, each
// default-setting editor, exit handling and the report beside it.
#pragma once

#include <QString>
#include <QWidget>

#include "services.h"
#include "top_form_controls.h"
#include "window_state.h"

class Light;
class PickFile;
class QLineEdit;

// The two limit editors: 8-bit channels 0-3, 12-bit channels 4-5.
enum class Limits { Bits8, Bits12 };

class TopForm : public QWidget {
 public:
  explicit TopForm(Services services, QWidget* parent = nullptr);

  const TopFormControls& controls() const { return c_; }
  WindowState& state() { return s_; }
  const WindowState& state() const { return s_; }

  // Start-up (runs from the constructor).
  void Form_Load();
  void MarkDefaultsUnsent();

  // Command queue and polling cycle.
  void QueueCommand();
  void Timer2_Timer();

  // Port and module selection.
  void ComSel_Click(int index);
  void SelMod_Click();
  void ModName_Change();
  void Send_Click();

  // Configuration reply, handed over by the polling cycle.
  void ConfigReply(const QString& reply);
  void UpdatePortDirections();

  // Configuration request.
  void ConfigReq_Click(int index);
  void UpdateConfig_Click();

  // Default analog limits: one set of handlers for both editors, told apart
  // by `group`; `low` picks the channel's low or high limit.
  void LimitBox_Change(Limits group);
  void LimitBox_EditingFinished(Limits group, int index, bool low);
  void LimitSet_Change(Limits group, int index, bool low);
  void SetDefaultLimits_Click(Limits group);

  // PWM, port directions, network baud rate and communications delay.
  void PWMPeriodSet_Change();
  void PWMPctSet_Change();
  void PWMPeriod_Change();
  void PWMPct_Change();
  void SetDefaultPWM_Click();
  void DDir_Click(int index);
  void SetDefaultPortDir_Click();
  void NetBaud_Click();
  void SetNetBaud_Click();
  void ComDlySldr_Change();
  void ComDlyTxt_Change();
  void SetDelay_Click();

  // Exit handling.
  bool AllParametersSent() const;
  void Done_Click();

  // The configuration report: the save button, its file chooser (made at its
  // first show) and the writer, asked for through PrintFlag.
  void PrintButton_Click();
  PickFile* pickFile() const { return pickFile_; }
  void WriteConfigReport();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void connectHandlers();
  // Queues one default setting and marks its group sent.
  void queueSetting(const QString& command, Light* alarm);
  bool refuseUnsendable(QLineEdit* box);
  QString configReportText() const;
  void sendCommand(int slot);
  void classifyReply(const QString& text);
  void showCommunicationStatus(bool readFailed);
  void showPortState();
  void clearPortChoice();
  bool confirmExit();
  void endProgram();

  Services services_;
  TopFormControls c_;
  WindowState s_;
  bool ending_ = false;
  PickFile* pickFile_ = nullptr;
};
