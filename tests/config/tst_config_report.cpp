// SPDX-License-Identifier: MIT
// The configuration report and its file chooser: the report's bytes for
// several combinations of editors on show, appending, a report cut short, the
// save button's checks and the chooser's lists, buttons and volumes.
#include <sys/resource.h>

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>

#include "colours.h"
#include "file_chooser.h"
#include "light.h"
#include "script.h"

namespace {
// The window with a port open; `script` (see script.h) sets it up.
struct ReportRig : Rig {
  explicit ReportRig(const QString& script = {}) {
    openAndDrain();
    run(*this, script);
  }
  void write(const QString& file) {
    s.NetFileName = file;
    s.PrintFlag = 1;
    form.Timer2_Timer();
  }
};

QByteArray contents(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : "(cannot read " + path.toUtf8() + ")";
}

void fill(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
}
}  // namespace

class ConfigReport : public QObject {
  Q_OBJECT

 private slots:
  // Each case in a folder of its own, its current directory.
  void init() {
    const QString own = dir_.filePath(QTest::currentTestFunction());
    QVERIFY(dir_.isValid() && QDir().mkpath(own) && QDir::setCurrent(own));
  }

  // Each file under reports/ is written out by hand; saved twice, a file
  // holds two complete reports.
  void reportMatchesFile() {
    const char* const cases[][2] = {
        {"no_frames", "ModName=TANK 7;<<Brimtally I/O V1.00;<<C:2000;ComDlySldr=254;NetBaud=5"},
        {"all_frames",
         "ModName=P1;<<C:00C4;HLimSet(0)=240;LLimSet(0)=10;LLim(1)=300;"
         "LLim12Set(0)=200;HLim12Set(0)=4000;PWMPeriodSet=1003"},
        // A box without a number is written as it stands.
        {"only_12bit", "<<C:2040;LLim12Set(1)=4095;LLim12(0)=abc"},
        {"negative_word", "ModName=P1;<<C:8083;DDir(7);DDir(5)"}};
    for (auto [name, script] : cases) {
      ReportRig r(script);
      r.write("report.txt");
      QVERIFY2(r.boxes.shown.isEmpty(), qPrintable(r.boxes.shown.join('\n')));
      QVERIFY(r.s.ParamsSaved && r.s.PrintFlag == 0);
      r.write("report.txt");
      const QByteArray report = contents(REPORTS_DIR "/" + QString(name) + ".txt");
      QCOMPARE(contents("report.txt"), report + report);
      QVERIFY(QFile::remove("report.txt"));
    }
  }

  // A report cut short (the file size limit) is named with the reason and
  // taken back, so the file keeps what it held; the last save still counts,
  // and a tick while the message is open does not write or ask again.
  void reportCutShortIsTakenBack() {
    fill("kept.txt", "earlier\r\n");
    ReportRig r;
    r.boxes.whileShown = [&r] { r.form.Timer2_Timer(); };
    r.s.ParamsSaved = true;
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited{100, old.rlim_max};
    QVERIFY(setrlimit(RLIMIT_FSIZE, &limited) == 0);
    r.write("kept.txt");
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldSignal);
    QCOMPARE(r.boxes.shown.size(), 1);
    QVERIFY2(r.boxes.shown[0].contains("kept.txt: File too large"), qPrintable(r.boxes.shown[0]));
    QVERIFY(r.s.ParamsSaved && r.s.PrintFlag == 0);
    QCOMPARE(contents("kept.txt"), QByteArray("earlier\r\n"));
  }

  // The save button asks for the banner (OK stops, Cancel goes on), then
  // wants every group sent. The chooser opens at the current directory; a
  // click names a file, a double-click stores the name only, Cancel nothing,
  // Done asks for the report. Hidden, it keeps what it showed, with files
  // written meanwhile; a name typed with its folder stands as it is.
  void saveButtonChecksThenTheChooserPicksTheFile() {
    QVERIFY(QDir().mkpath("sub"));
    for (const char* name : {"b.log", "A.txt", ".hidden", "sub/in-sub.txt"}) fill(name, "");
    ReportRig r("<<C:0000");
    for (Light* l : r.form.findChildren<Light*>()) l->setColour(colours::Sent);
    r.c.NetBaudAlarm->setColour(colours::Unsent);
    r.boxes.answers = {true, false};
    run(r, "PrintButton;PrintButton");
    const QString version =
        "okCancel|Get Brimtally Version|Suggest you cycle Brimtally power so proper version "
        "can be recorded.";
    QCOMPARE(r.boxes.shown,
             (QStringList{version, version,
                          "ok||All Parameters have NOT been sent.  Can NOT save yet."}));
    QVERIFY(!r.form.pickFile());
    r.c.NetBaudAlarm->setColour(colours::Sent);
    run(r, "<<Brimtally I/O V1.00;PrintButton");
    PickFile* pick = r.form.pickFile();
    QVERIFY(pick && !pick->isModal() && QTest::qWaitForWindowExposed(pick));
    QCOMPARE(r.boxes.shown.size(), 3);
    const QString here = QDir::currentPath();
    QCOMPARE(pick->filePath() + pick->Text1->text(), here + "Test.txt");
    QCOMPARE(pick->File1->count(), 2);
    QCOMPARE(pick->File1->item(0)->text() + pick->File1->item(1)->text(), QString("A.txtb.log"));
    pick->Cancel->click();
    QVERIFY(pick->isHidden() && r.s.NetFileName.isEmpty());

    fill("c.txt", "");
    r.c.PrintButton->click();
    QCOMPARE(pick->File1->count(), 3);
    const QPoint b = pick->File1->visualItemRect(pick->File1->item(1)).center();
    QTest::mouseClick(pick->File1->viewport(), Qt::LeftButton, {}, b);
    QCOMPARE(pick->Text1->text(), QString("b.log"));
    QTest::mouseDClick(pick->File1->viewport(), Qt::LeftButton, {}, b);
    QVERIFY(pick->isHidden() && r.s.NetFileName == here + "/b.log" && r.s.PrintFlag == 0);

    r.c.PrintButton->click();
    QCOMPARE(pick->Text1->text(), QString("b.log"));  // as the last show left it
    pick->Dir1->setCurrentItem(pick->Dir1->findItems("sub", Qt::MatchEndsWith).value(0));
    QTest::keyClick(pick->Dir1, Qt::Key_Return);
    QCOMPARE(pick->File1->count(), 1);
    pick->Text1->setText("saved.txt");
    pick->Command1->click();
    QVERIFY(pick->isHidden() && r.s.PrintFlag == 1);
    r.form.Timer2_Timer();
    QVERIFY(r.s.ParamsSaved);
    QVERIFY(
        contents("sub/saved.txt").contains("\r\nFile: " + here.toUtf8() + "/sub/saved.txt\r\n"));
    r.c.PrintButton->click();
    pick->Text1->setText(here + "/typed.txt");
    pick->Command1->click();
    QCOMPARE(r.s.NetFileName, here + "/typed.txt");
  }

  // The volume that holds the current directory opens there, any other at
  // its root; the root comes first, also where it is no mount point.
  void volumesOpenAtTheirRootOrTheCurrentDirectory() {
    QVERIFY(QDir().mkpath("work") && QDir().mkpath("vol/data"));
    const QString base = QDir::currentPath();
    QVERIFY(QDir::setCurrent("work"));
    WindowState state;
    PickFile pick(state, {"/", base + "/vol", base + "/wor"});
    pick.show();
    QCOMPARE(pick.Drive1->currentIndex(), 0);
    QCOMPARE(pick.dirPath(), base + "/work");
    pick.Drive1->setCurrentIndex(1);
    QCOMPARE(pick.dirPath(), base + "/vol");
    QVERIFY(!pick.Dir1->findItems("data", Qt::MatchEndsWith).isEmpty());
    pick.Drive1->setCurrentIndex(0);
    QCOMPARE(pick.dirPath(), base + "/work");
    pick.setDirPath("/");
    pick.Command1->click();
    QCOMPARE(state.NetFileName, QString("/Test.txt"));
    QCOMPARE(volumeRoots({"/tmp", "/home", "/tmp"}), (QStringList{"/", "/home", "/tmp"}));
    QCOMPARE(mountedVolumeRoots().value(0), QString("/"));
  }

 private:
  QTemporaryDir dir_;
};

QTEST_MAIN(ConfigReport)
#include "tst_config_report.moc"
