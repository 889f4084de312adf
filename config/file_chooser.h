// SPDX-License-Identifier: MIT
// The report's file chooser: a volume list, a directory list, a file list and
// the file name. It is not modal: the main window and its timer run on while
// it is open. Hiding keeps it as it was left for the next show, where the
// lists are read again.
#pragma once

#include <QDialog>
#include <QStringList>

#include "window_state.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;

// The root, then the other mount points in order, each once. The root comes
// first also where it is no mount point (a chroot).
QStringList volumeRoots(QStringList mountPoints);

// volumeRoots of the mounted volumes that are directories.
QStringList mountedVolumeRoots();

class PickFile : public QDialog {
 public:
  // `state` receives NetFileName and PrintFlag. `volumes` fills the volume
  // list, the root first.
  PickFile(WindowState& state, QStringList volumes, QWidget* parent = nullptr);

  QComboBox* Drive1;
  QListWidget* Dir1;
  QListWidget* File1;
  QLineEdit* Text1;
  QPushButton* Command1;  // "Done"
  QPushButton* Cancel;
  QLabel* Label1;
  QLabel* Label2;
  QLabel* Label3;

  // The directory Dir1 shows, and the one whose files File1 lists.
  QString dirPath() const { return dirPath_; }
  QString filePath() const { return filePath_; }
  void setDirPath(const QString& path);

  void Form_Load();
  void Drive1_Change();
  void Dir1_Change();
  void File1_Click();
  void File1_DblClick();
  void Command1_Click();
  void Cancel_Click();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QString chosenFile() const;
  QString volumeStart(const QString& volume) const;

  WindowState& state_;
  QString startDir_;  // the program's current directory when the chooser was made
  QString dirPath_;
  QString filePath_;
  bool loaded_ = false;
};
