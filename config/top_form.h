// The main window. Its handlers carry the names of the controls and events
// they serve (control, underscore, event); array handlers take the index.
// The handlers live in files by concern: start-up here, the polling cycle,
// port selection, the configuration reply and exit handling beside it.
#pragma once

#include <QString>
#include <QWidget>

#include "services.h"
#include "top_form_controls.h"
#include "window_state.h"

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

  // Exit handling.
  bool AllParametersSent() const;
  void Done_Click();

  // The configuration report, asked for through PrintFlag.
  void WriteConfigReport();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void connectHandlers();
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
};
