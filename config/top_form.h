// The main window. Its handlers carry the names of the controls and events
// they serve (control, underscore, event); array handlers take the index.
// The handlers live in files by concern: start-up here, the polling cycle,
// port selection, the configuration bits, each default-setting editor, exit
// handling and the report beside it.
#pragma once

#include <QString>
#include <QWidget>

#include "services.h"
#include "top_form_controls.h"
#include "window_state.h"

class Light;
class PickFile;

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

  // Default analog limits.
  void LLim_Change(int index);
  void HLim_Change(int index);
  void LLim12_Change(int index);
  void HLim12_Change(int index);
  void LLimSet_Change(int index);
  void HLimSet_Change(int index);
  void LLim12Set_Change(int index);
  void HLim12Set_Change(int index);
  void SetAna8DefaultLimits_Click();
  void SetAna12DefaultLimits_Click();

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
  void connectEditorHandlers();
  // Queues one default setting and marks its group sent.
  void queueSetting(const QString& command, Light* alarm);
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
