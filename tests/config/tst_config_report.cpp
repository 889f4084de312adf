// The configuration report and its file chooser: the report's bytes for
// several combinations of editors on show, appending, files that cannot be
// written, the save button's checks and the chooser's lists and buttons.
#include <sys/resource.h>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QtTest>
#include <csignal>

#include "colours.h"
#include "fakes.h"
#include "file_chooser.h"
#include "light.h"

namespace {

struct FixedClock final : Clock {
  QDateTime now() const override {
    return QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7), QTimeZone::utc());
  }
};

// The window on the stand-ins with a fixed clock, a port open and the
// start-up query answered with nothing yet.
struct ReportRig {
  FakeLibrary lib;
  FakeBoxes boxes;
  FakeExit exit;
  FixedClock clock;
  TopForm form{Services{lib, boxes, exit, clock}};
  const TopFormControls& c = form.controls();
  WindowState& s = form.state();

  ReportRig() {
    c.Timer2->stop();
    c.ComSel[0]->click();
    form.Timer2_Timer();
    form.Timer2_Timer();
  }
  void reply(const QString& text) {
    lib.reply(text);
    form.Timer2_Timer();
  }
  // Every visible group confirmed or sent, as the save button wants.
  void markAllSent() {
    for (Light* l : {c.ConfigAlert, c.ModIDAlarm, c.NetBaudAlarm, c.CommDelayAlarm, c.Ana8Alarm,
                     c.Ana12Alarm, c.PWMAlarm, c.IODirAlarm}) {
      l->setColour(colours::Sent);
    }
  }
  void writeReport(const QString& file) {
    s.NetFileName = file;
    s.PrintFlag = 1;
    form.Timer2_Timer();
  }
};

QByteArray contents(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll()
                                     : QByteArray("(cannot read " + path.toUtf8() + ")");
}

QByteArray expected(const char* name) {
  return contents(QString(REPORTS_DIR "/%1.txt").arg(name));
}

}  // namespace

class ConfigReport : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    QVERIFY(dir_.isValid());
    QVERIFY(QDir::setCurrent(dir_.path()));
    QFile::remove("report.txt");
  }

  void reportMatchesFile_data() {
    QTest::addColumn<QString>("scenario");
    for (const char* s : {"no_frames", "all_frames", "only_12bit", "negative_word"})
      QTest::newRow(s) << QString(s);
  }
  void reportMatchesFile() {
    QFETCH(QString, scenario);
    ReportRig r;
    if (scenario == "no_frames") {
      r.c.ModName->setText("TANK 7");
      r.reply("Brimtally I/O V1.00");
      r.reply("C:2000");
      r.c.ComDlySldr->setValue(300);  // beyond the end: 254
      r.c.NetBaud->setCurrentIndex(5);
    } else if (scenario == "all_frames") {
      r.c.ModName->setText("P1");
      r.reply("C:00C4");
      r.c.HLimSet[0]->setValue(240);
      r.c.LLimSet[0]->setValue(10);
      r.c.LLim[1]->setText("300");  // typed beyond the slider's range
      r.c.LLim12Set[0]->setValue(200);
      r.c.HLim12Set[0]->setValue(4000);
      r.c.PWMPeriodSet->setValue(1003);
    } else if (scenario == "only_12bit") {
      r.reply("C:2040");
      r.c.LLim12Set[1]->setValue(4095);
      r.c.LLim12[0]->setText("abc");  // written as it stands
    } else {
      r.c.ModName->setText("P1");
      r.reply("C:8083");
      r.c.DDir[7]->click();
      r.c.DDir[5]->click();
    }
    r.writeReport("report.txt");
    QVERIFY2(r.boxes.shown.isEmpty(), qPrintable(r.boxes.shown.join('\n')));
    QCOMPARE(contents("report.txt"), expected(qPrintable(scenario)));
    QVERIFY(r.s.ParamsSaved);
    QCOMPARE(r.s.PrintFlag, 0);
  }

  void savesAppendToWhatTheFileHolds() {
    ReportRig r;
    r.c.ModName->setText("P1");
    r.reply("C:8083");
    r.c.DDir[7]->click();
    r.c.DDir[5]->click();
    {
      QFile f("report.txt");
      QVERIFY(f.open(QIODevice::WriteOnly));
      f.write("earlier notes\r\n");
    }
    r.writeReport("report.txt");
    r.s.ParamsSaved = false;
    r.writeReport("report.txt");
    QCOMPARE(contents("report.txt"),
             "earlier notes\r\n" + expected("negative_word") + expected("negative_word"));
    QVERIFY(r.s.ParamsSaved);
  }

  // The file is named with the reason, the report does not count as saved,
  // and the request is over.
  void fileThatCannotBeWrittenIsReported_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("reason");
    QTest::newRow("no such folder") << "missing/report.txt"
                                    << "No such file or directory";
    QTest::newRow("a folder") << "folder/"
                              << "Is a directory";
    QTest::newRow("device full") << "/dev/full"
                                 << "No space left on device";
  }
  void fileThatCannotBeWrittenIsReported() {
    QFETCH(QString, file);
    QFETCH(QString, reason);
    QVERIFY(QDir().mkpath("folder"));
    for (bool savedBefore : {false, true}) {
      ReportRig r;
      r.s.ParamsSaved = savedBefore;
      r.writeReport(file);
      QCOMPARE(r.boxes.shown.size(), 1);
      QVERIFY2(r.boxes.shown[0].contains(file) && r.boxes.shown[0].contains(reason),
               qPrintable(r.boxes.shown[0]));
      QCOMPARE(r.s.ParamsSaved, savedBefore);
      QCOMPARE(r.s.PrintFlag, 0);
      r.form.Timer2_Timer();  // asked once, written (or refused) once
      QCOMPARE(r.boxes.shown.size(), 1);
    }
    QVERIFY(!QFile::exists("missing"));
  }

  // A report cut short is taken back: the file keeps what it held before.
  void reportCutShortLeavesTheFileAsItWas() {
    {
      QFile f("report.txt");
      QVERIFY(f.open(QIODevice::WriteOnly));
      f.write("earlier report\r\n");
    }
    ReportRig r;
    rlimit old{};
    QVERIFY(getrlimit(RLIMIT_FSIZE, &old) == 0);
    const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 100;
    QVERIFY(setrlimit(RLIMIT_FSIZE, &small) == 0);
    r.writeReport("report.txt");
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldSignal);
    QCOMPARE(r.boxes.shown.size(), 1);
    QVERIFY2(r.boxes.shown[0].contains("report.txt") && r.boxes.shown[0].contains("File too large"),
             qPrintable(r.boxes.shown[0]));
    QCOMPARE(contents("report.txt"), QByteArray("earlier report\r\n"));
    QVERIFY(!r.s.ParamsSaved);
  }

  void saveButtonChecksVersionThenSettings() {
    ReportRig r;
    r.reply("C:0000");
    r.markAllSent();
    // No banner yet: OK stops the save, Cancel goes on.
    r.boxes.answers = {true};
    r.c.PrintButton->click();
    QCOMPARE(r.boxes.shown,
             QStringList{"okCancel|Get Brimtally Version|Suggest you cycle Brimtally power so "
                         "proper version can be recorded."});
    QVERIFY(!r.form.pickFile());
    r.boxes.shown.clear();
    r.boxes.answers = {false};
    r.c.PWMAlarm->setColour(colours::Unsent);  // hidden group: does not count
    r.c.NetBaudAlarm->setColour(colours::Unsent);
    r.c.PrintButton->click();
    QCOMPARE(r.boxes.shown.size(), 2);
    QCOMPARE(r.boxes.shown[1],
             QString("ok||All Parameters have NOT been sent.  Can NOT save yet."));
    QVERIFY(!r.form.pickFile());
    r.boxes.shown.clear();
    r.c.NetBaudAlarm->setColour(colours::Sent);
    r.reply("Brimtally I/O V1.00");
    r.c.PrintButton->click();
    QVERIFY(r.boxes.shown.isEmpty());
    PickFile* pick = r.form.pickFile();
    QVERIFY(pick && pick->isVisible() && !pick->isModal());
    QCOMPARE(pick->windowTitle(), QString("Select a file"));
    // The window keeps polling while the chooser is open.
    r.s.NextCommand = "QC";
    r.form.QueueCommand();
    r.form.Timer2_Timer();
    QCOMPARE(r.lib.sent().last(), QString("QC"));
  }

  // The chooser opens at the current directory; a click names a file, Done
  // asks for the report, a double-click only stores the name, Cancel nothing.
  void chooserPicksFileAndAsksForTheReport() {
    QVERIFY(QDir().mkpath("sub/inner"));
    for (const char* name : {"b.log", "A.txt", ".hidden", "sub/in-sub.txt"}) {
      QFile f(name);
      QVERIFY(f.open(QIODevice::WriteOnly));
    }
    ReportRig r;
    r.reply("Brimtally I/O V1.00");
    r.markAllSent();
    r.c.PrintButton->click();
    PickFile* pick = r.form.pickFile();
    QVERIFY(pick);
    QVERIFY(QTest::qWaitForWindowExposed(pick));
    const QString here = QDir::currentPath();
    QCOMPARE(pick->dirPath(), here);
    QCOMPARE(pick->filePath(), here);
    QCOMPARE(pick->Text1->text(), QString("Test.txt"));
    QStringList files;
    for (int i = 0; i < pick->File1->count(); ++i) files << pick->File1->item(i)->text();
    QCOMPARE(files, (QStringList{"A.txt", "b.log"}));
    QCOMPARE(pick->Drive1->itemText(0), QString("/"));
    const QString shot = qEnvironmentVariable("PEXILCONFIG_CHOOSER_SHOT");
    if (!shot.isEmpty()) QVERIFY(pick->grab().save(shot));

    pick->Cancel->click();
    QVERIFY(pick->isHidden());
    QCOMPARE(r.s.NetFileName, QString());
    QCOMPARE(r.s.PrintFlag, 0);

    r.c.PrintButton->click();
    const QRect b = pick->File1->visualItemRect(pick->File1->item(1));
    QTest::mouseClick(pick->File1->viewport(), Qt::LeftButton, {}, b.center());
    QCOMPARE(pick->Text1->text(), QString("b.log"));
    QTest::mouseDClick(pick->File1->viewport(), Qt::LeftButton, {}, b.center());
    QVERIFY(pick->isHidden());
    QCOMPARE(r.s.NetFileName, here + "/b.log");
    QCOMPARE(r.s.PrintFlag, 0);
    r.form.Timer2_Timer();
    QCOMPARE(contents("b.log"), QByteArray());

    // Shown again as it was left; into a folder by its list, then Done.
    r.c.PrintButton->click();
    QCOMPARE(pick->Text1->text(), QString("b.log"));
    const QList<QListWidgetItem*> sub = pick->Dir1->findItems("sub", Qt::MatchEndsWith);
    QCOMPARE(sub.size(), 1);
    pick->Dir1->setCurrentItem(sub[0]);
    QTest::keyClick(pick->Dir1, Qt::Key_Return);
    QCOMPARE(pick->filePath(), here + "/sub");
    QCOMPARE(pick->File1->count(), 1);
    pick->Text1->setText("saved.txt");
    pick->Command1->click();
    QVERIFY(pick->isHidden());
    QCOMPARE(r.s.NetFileName, here + "/sub/saved.txt");
    QCOMPARE(r.s.PrintFlag, 1);
    r.form.Timer2_Timer();
    QCOMPARE(r.s.PrintFlag, 0);
    QVERIFY(r.s.ParamsSaved);
    QVERIFY(contents("sub/saved.txt")
                .contains("\r\nFile: " + (here + "/sub/saved.txt").toUtf8() + "\r\n"));
  }

  // The volume that holds the current directory opens there, any other at
  // its root; the root folder gives a name with "//", which names the same file.
  void volumesOpenAtTheirRootOrTheCurrentDirectory() {
    QVERIFY(QDir().mkpath("work") && QDir().mkpath("vol/data"));
    const QString base = QDir::currentPath();
    QVERIFY(QDir::setCurrent("work"));
    WindowState state;
    PickFile pick(state, {"/", base + "/vol", base + "/vo"});
    QCOMPARE(pick.Drive1->currentText(), QString("/"));
    pick.show();
    QCOMPARE(pick.dirPath(), base + "/work");
    pick.Drive1->setCurrentIndex(1);
    QCOMPARE(pick.dirPath(), base + "/vol");
    QVERIFY(!pick.Dir1->findItems("data", Qt::MatchEndsWith).isEmpty());
    pick.Drive1->setCurrentIndex(0);
    QCOMPARE(pick.dirPath(), base + "/work");
    pick.setDirPath("/");
    pick.Command1->click();
    QCOMPARE(state.NetFileName, QString("//Test.txt"));
    QVERIFY(QDir::setCurrent(base));

    const QStringList mounted = mountedVolumeRoots();
    QVERIFY(!mounted.isEmpty());
    QCOMPARE(mounted.first(), QString("/"));
  }

 private:
  QTemporaryDir dir_;
};

QTEST_MAIN(ConfigReport)
#include "tst_config_report.moc"
