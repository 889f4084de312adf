// The program against the real library and the simulated module on a
// pseudo-terminal: the start-up query goes out, the configuration comes back
// and is shown, and a rename is confirmed by the module's prompt.
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QtTest>

#include "colours.h"
#include "dynamic_library.h"
#include "fakes.h"
#include "light.h"

namespace {
constexpr int kBound = 20000;  // generous: two cores, other builds beside us
}

class EndToEnd : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    const QString bin = QCoreApplication::applicationDirPath();
    if (!QFile::exists(DynamicLibrary::defaultPath())) {
      QSKIP("the brimtally library is not built (no ../lib/libbrimtally.so.1 beside the test)");
    }
    if (!QFile::exists(bin + "/brimtally-sim")) {
      QSKIP("the simulator is not built (no brimtally-sim beside the test)");
    }
    sim_.setProgram(bin + "/brimtally-sim");
    sim_.setArguments(simArguments());
    sim_.setProcessChannelMode(QProcess::SeparateChannels);
    sim_.start();
    QVERIFY2(sim_.waitForStarted(kBound), qPrintable(sim_.errorString()));
    QVERIFY(sim_.waitForReadyRead(kBound) || sim_.canReadLine());
    QTRY_VERIFY_WITH_TIMEOUT(sim_.canReadLine(), kBound);
    const QByteArray device = sim_.readLine().trimmed();
    QVERIFY2(device.startsWith("/dev/"), device.constData());
    qputenv("BRIMTALLY_COM1", device);
  }

  void cleanup() {
    if (sim_.state() != QProcess::NotRunning) {
      sim_.terminate();
      if (!sim_.waitForFinished(5000)) sim_.kill();
      sim_.waitForFinished(5000);
    }
  }

  void configurationArrivesAndRenameIsConfirmed() {
    FakeBoxes boxes;  // any message box would be a failure; they are recorded
    FakeExit exit;
    SystemClock clock;
    DynamicLibrary library(DynamicLibrary::defaultPath(), boxes, exit);
    TopForm form(Services{library, boxes, exit, clock});
    const auto& c = form.controls();
    const auto& s = form.state();

    c.ComSel[0]->click();
    QVERIFY2(boxes.shown.isEmpty(), qPrintable(boxes.shown.join('\n')));
    QCOMPARE(s.PortOpen, 1);

    QTRY_COMPARE_WITH_TIMEOUT(c.DataSent->text(), QString("QC"), kBound);
    QTRY_COMPARE_WITH_TIMEOUT(c.ConfigAlert->colour(), colours::Sent, kBound);
    QCOMPARE(s.ConfigWord, expectedWord());
    for (int n = 0; n < 16; ++n) {
      QCOMPARE(c.ConfigBit[n]->colour(),
               ((s.ConfigWord >> n) & 1) ? colours::Sent : colours::Clear);
    }
    for (QGroupBox* f : {c.Analog12Lim, c.Analog8Lim, c.PWMDefaults, c.PortDir}) {
      QVERIFY2(!f->isHidden(), qPrintable(f->objectName()));
    }
    QCOMPARE(c.ComOK->colour(), colours::Sent);
    QCOMPARE(c.CommEstab->text(), QString("Communications OK"));
    QCOMPARE(c.DLLVER->text(), QString(BT_DLL_VERSION));

    c.ModName->setText("TANK7");
    QCOMPARE(c.ModIDAlarm->colour(), colours::Unsent);
    c.SelMod->click();
    QTRY_COMPARE_WITH_TIMEOUT(c.ModIDAlarm->colour(), colours::Sent, kBound);
    // The module announced itself again, before its prompt.
    QVERIFY(!s.VersionPending);
    QVERIFY(c.Brim->text().startsWith("Brimtally"));
    QVERIFY2(boxes.shown.isEmpty(), qPrintable(boxes.shown.join('\n')));

    c.Timer2->stop();
    library.btPortClose();
  }

 private:
  // PWM (bit 2) and both limit editors (bits 6, 7), port lines 0-7 locked.
  static QStringList simArguments() { return {"--config", "00C5"}; }
  static int32_t expectedWord() { return 0x00C5; }

  QProcess sim_;
};

QTEST_MAIN(EndToEnd)
#include "tst_end_to_end.moc"
