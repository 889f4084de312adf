// The program against the real library and the simulated module: a rename, a
// new configuration, every group of default settings sent and seen in the
// module's state, and the report saved through the chooser.
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QLocalSocket>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "colours.h"
#include "dynamic_library.h"
#include "fakes.h"
#include "file_chooser.h"
#include "light.h"

namespace {
constexpr int kBound = 30000;  // generous: two cores, other builds beside us
}

class SettingsEndToEnd : public QObject {
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
    QVERIFY(dir_.isValid());
    QVERIFY(QDir::setCurrent(dir_.path()));
    sim_.setProgram(bin + "/brimtally-sim");
    sim_.setArguments(
        {"--config", "0002", "--control", dir_.filePath("control.sock"), "--die-with-parent"});
    sim_.start();
    QVERIFY2(sim_.waitForStarted(kBound), qPrintable(sim_.errorString()));
    QTRY_VERIFY_WITH_TIMEOUT(sim_.canReadLine(), kBound);
    const QByteArray device = sim_.readLine().trimmed();
    QVERIFY2(device.startsWith("/dev/"), device.constData());
    qputenv("BRIMTALLY_COM1", device);
    control_.connectToServer(dir_.filePath("control.sock"));
    QVERIFY2(control_.waitForConnected(kBound), qPrintable(control_.errorString()));
  }

  void cleanup() {
    control_.abort();
    if (sim_.state() != QProcess::NotRunning) {
      sim_.terminate();
      if (!sim_.waitForFinished(5000)) sim_.kill();
      sim_.waitForFinished(5000);
    }
  }

  void settingsReachTheModuleAndTheReportIsSaved() {
    FakeBoxes boxes;  // any message box would be a failure; they are recorded
    FakeExit exit;
    SystemClock clock;
    DynamicLibrary library(DynamicLibrary::defaultPath(), boxes, exit);
    TopForm form(Services{library, boxes, exit, clock});
    const auto& c = form.controls();
    const auto& s = form.state();
    const auto drained = [&s] { return s.Commands.occupied() == 0 && s.ReplyWait == 0; };

    c.ComSel[0]->click();
    QCOMPARE(s.PortOpen, 1);
    QTRY_COMPARE_WITH_TIMEOUT(c.ConfigAlert->colour(), colours::Sent, kBound);
    QCOMPARE(s.ConfigWord, 0x0002);

    c.ModName->setText("TANK7");
    c.SelMod->click();
    QTRY_COMPARE_WITH_TIMEOUT(c.ModIDAlarm->colour(), colours::Sent, kBound);

    for (int bit : {2, 6, 7}) c.ConfigReq[bit]->click();
    c.UpdateConfig->click();
    QTRY_VERIFY_WITH_TIMEOUT(drained() && c.ConfigAlert->colour() == colours::Sent, kBound);
    QCOMPARE(s.ConfigWord, 0x00C4);
    QVERIFY(!c.Analog8Lim->isHidden() && !c.Analog12Lim->isHidden() && !c.PWMDefaults->isHidden() &&
            !c.PortDir->isHidden());

    c.HLimSet[0]->setValue(240);
    c.LLimSet[0]->setValue(10);
    c.LLim12Set[1]->setValue(200);
    c.HLim12Set[1]->setValue(4000);
    c.SetAna8DefaultLimits->click();
    c.SetAna12DefaultLimits->click();
    QTRY_VERIFY_WITH_TIMEOUT(drained(), kBound);  // six of the eight slots
    c.PWMPeriodSet->setValue(1003);
    c.SetDefaultPWM->click();
    c.SetDefaultPortDir->click();
    c.NetBaud->setCurrentIndex(4);
    c.SetNetBaud->click();
    c.ComDlySldr->setValue(100);
    c.SetDelay->click();
    QTRY_VERIFY_WITH_TIMEOUT(drained(), kBound);
    QVERIFY(form.AllParametersSent());

    QJsonObject m;
    QTRY_VERIFY_WITH_TIMEOUT((m = module()).value("comm_delay_ms").toInt() == 100, kBound);
    QCOMPARE(m.value("name").toString(), QString("TANK7"));
    QCOMPARE(m.value("config").toInt(), 0x00C4);
    QCOMPARE(m.value("default_low").toArray(), (QJsonArray{10, 0, 0, 0, 0, 200}));
    QCOMPARE(m.value("default_high").toArray(), (QJsonArray{240, 255, 255, 255, 4095, 4000}));
    QCOMPARE(m.value("default_pwm_period").toInt(), 1003);
    QCOMPARE(m.value("default_pwm_high").toInt(), 502);
    QCOMPARE(m.value("default_direction").toInt(), 0);  // every line an output
    QCOMPARE(m.value("network_baud").toInt(), 19200);

    QVERIFY(!s.VersionPending);  // the rename's banner arrived
    c.PrintButton->click();
    PickFile* pick = form.pickFile();
    QVERIFY(pick && pick->isVisible());
    pick->Text1->setText("tank7.txt");
    pick->Command1->click();
    QTRY_VERIFY_WITH_TIMEOUT(s.ParamsSaved, kBound);
    QFile report("tank7.txt");
    QVERIFY(report.open(QIODevice::ReadOnly));
    const QByteArray text = report.readAll();
    for (const char* line :
         {"\r\nModule Name: TANK7\r\n", "\r\nModule Version: Brimtally I/O V1.00\r\n",
          "\r\nNetwork Baud Rate: 19200\r\n", "\r\nCommunications Delay (ms): 100\r\n",
          "\r\nConfiguration (hex): 00C4\r\n", "\r\n                 0     0A    F0\r\n",
          "\r\n                 5    0C8   FA0\r\n", "\r\nPWM  Period: 1003\r\n",
          "\r\n          O O O O O O O O\r\n\r\n---- END ----\r\n"}) {
      QVERIFY2(text.contains(line), line);
    }
    QVERIFY2(boxes.shown.isEmpty(), qPrintable(boxes.shown.join('\n')));

    c.Timer2->stop();
    library.btPortClose();
  }

 private:
  // The first module of the simulator's state.
  QJsonObject module() {
    control_.write("state\n");
    QByteArray line;
    while (!line.endsWith('\n') && control_.waitForReadyRead(5000)) line += control_.readAll();
    if (!line.startsWith("ok ")) return {};
    return QJsonDocument::fromJson(line.mid(3))
        .object()
        .value("modules")
        .toArray()
        .at(0)
        .toObject();
  }

  QTemporaryDir dir_;
  QProcess sim_;
  QLocalSocket control_;
};

QTEST_MAIN(SettingsEndToEnd)
#include "tst_settings_end_to_end.moc"
