// SPDX-License-Identifier: MIT
#include "file_chooser.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStorageInfo>

QStringList volumeRoots(QStringList mountPoints) {
  mountPoints.removeAll("/");
  mountPoints.removeDuplicates();
  mountPoints.sort();
  mountPoints.prepend("/");
  return mountPoints;
}

QStringList mountedVolumeRoots() {
  QStringList roots;
  for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
    // Files bind-mounted over others are volumes too, but hold no directory.
    if (volume.isValid() && volume.isReady() && QFileInfo(volume.rootPath()).isDir()) {
      roots << volume.rootPath();
    }
  }
  return volumeRoots(roots);
}

namespace {
constexpr int kPathRole = Qt::UserRole;

bool holds(const QString& volume, const QString& path) {
  if (path == volume) return true;
  return path.startsWith(volume.endsWith('/') ? volume : volume + '/');
}

// The volume of `volumes` that holds `path`: the deepest mount point above it.
int holdingVolume(const QStringList& volumes, const QString& path) {
  int best = -1;
  for (int i = 0; i < volumes.size(); ++i) {
    if (holds(volumes[i], path) && (best < 0 || volumes[i].size() > volumes[best].size())) best = i;
  }
  return best;
}
}  // namespace

PickFile::PickFile(WindowState& state, QStringList volumes, QWidget* parent)
    : QDialog(parent), state_(state), startDir_(QDir::currentPath()) {
  setObjectName("PickFile");
  setWindowTitle("Select a file");
  setModal(false);

  Label1 = new QLabel("Drives", this);
  Label2 = new QLabel("Directories", this);
  Label3 = new QLabel("Files", this);
  Drive1 = new QComboBox(this);
  Dir1 = new QListWidget(this);
  File1 = new QListWidget(this);
  Text1 = new QLineEdit("Test.txt", this);
  Command1 = new QPushButton("Done", this);
  Cancel = new QPushButton("Cancel", this);
  Label1->setObjectName("Label1");
  Label2->setObjectName("Label2");
  Label3->setObjectName("Label3");
  Drive1->setObjectName("Drive1");
  Dir1->setObjectName("Dir1");
  File1->setObjectName("File1");
  Text1->setObjectName("Text1");
  Command1->setObjectName("Command1");
  Cancel->setObjectName("Cancel");

  auto* grid = new QGridLayout(this);
  grid->addWidget(Label3, 0, 0);
  grid->addWidget(Label2, 0, 1);
  grid->addWidget(Text1, 1, 0);
  grid->addWidget(File1, 2, 0, 3, 1);
  grid->addWidget(Dir1, 1, 1, 2, 1);
  grid->addWidget(Label1, 3, 1);
  grid->addWidget(Drive1, 4, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(Command1);
  buttons->addWidget(Cancel);
  grid->addLayout(buttons, 5, 0, 1, 2);
  grid->setRowStretch(2, 1);
  resize(560, 380);

  for (const QString& volume : volumes) Drive1->addItem(volume, volume);
  Drive1->setCurrentIndex(holdingVolume(volumes, startDir_));

  connect(Drive1, &QComboBox::currentIndexChanged, this, [this] { Drive1_Change(); });
  connect(Dir1, &QListWidget::itemActivated, this,
          [this](QListWidgetItem* item) { setDirPath(item->data(kPathRole).toString()); });
  connect(File1, &QListWidget::itemSelectionChanged, this, [this] { File1_Click(); });
  connect(File1, &QListWidget::itemDoubleClicked, this, [this] { File1_DblClick(); });
  connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
  connect(Cancel, &QPushButton::clicked, this, [this] { Cancel_Click(); });
}

void PickFile::showEvent(QShowEvent* event) {
  if (!loaded_) {
    loaded_ = true;
    Form_Load();
  } else {
    setDirPath(dirPath_);  // files written since the last show
  }
  QDialog::showEvent(event);
}

void PickFile::Form_Load() {
  setDirPath(startDir_);
}

// The volume that holds the program's current directory opens there; any
// other opens at its root.
void PickFile::Drive1_Change() {
  const QString volume = Drive1->currentData().toString();
  if (!volume.isEmpty()) setDirPath(volumeStart(volume));
}

QString PickFile::volumeStart(const QString& volume) const {
  QStringList volumes;
  for (int i = 0; i < Drive1->count(); ++i) volumes << Drive1->itemData(i).toString();
  const int holder = holdingVolume(volumes, startDir_);
  return holder >= 0 && volumes[holder] == volume ? startDir_ : volume;
}

// Dir1 lists the directories from the root down to its own, then the ones
// inside it; activating one moves there.
void PickFile::setDirPath(const QString& path) {
  dirPath_ = QDir::cleanPath(path);
  Dir1->clear();
  QStringList chain;
  for (QDir up(dirPath_);;) {
    chain.prepend(up.absolutePath());
    if (up.isRoot() || !up.cdUp()) break;
  }
  int depth = 0;
  for (const QString& dir : chain) {
    const QString name = dir == "/" ? dir : QFileInfo(dir).fileName();
    auto* item = new QListWidgetItem(QString(depth * 2, ' ') + name, Dir1);
    item->setData(kPathRole, dir);
    ++depth;
  }
  Dir1->setCurrentRow(static_cast<int>(chain.size()) - 1);
  const QDir here(dirPath_);
  for (const QString& sub :
       here.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase)) {
    auto* item = new QListWidgetItem(QString(depth * 2, ' ') + sub, Dir1);
    item->setData(kPathRole, here.filePath(sub));
  }
  Dir1_Change();
}

void PickFile::Dir1_Change() {
  filePath_ = dirPath_;
  File1->clear();
  File1->addItems(QDir(filePath_).entryList(QDir::Files, QDir::Name | QDir::IgnoreCase));
}

void PickFile::File1_Click() {
  const auto selected = File1->selectedItems();
  if (!selected.isEmpty()) Text1->setText(selected.first()->text());
}

// Stores the name without asking for the report, as the double-click always
// has; "Done" is the way to a report.
void PickFile::File1_DblClick() {
  state_.NetFileName = chosenFile();
  hide();
}

void PickFile::Command1_Click() {
  state_.NetFileName = chosenFile();
  state_.PrintFlag = 1;
  hide();
}

void PickFile::Cancel_Click() {
  hide();
}

// Folder and name joined by "/", unchecked; a name typed as an absolute path
// stands as it is.
QString PickFile::chosenFile() const {
  return QDir(filePath_).filePath(Text1->text());
}
