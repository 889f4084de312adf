// The program against the real library and the simulated module: a rename, a
// new configuration, every group of default settings sent and seen in the
// module's state, and the report saved through the chooser.
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QLocalSocket>
#include <QProcess>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QtTest>

#include "colours.h"
#include "dynamic_library.h"
#include "fakes.h"
#include "file_chooser.h"
#include "light.h"

namespace {
constexpr int kBound = 30000;  // generous: two cores, other builds beside us

// The simulator's first module: name, configuration word, default limits,
// PWM period and high time, directions, network baud and delay.
QString moduleState(QLocalSocket& control) {
  control.write("state\n");
  QByteArray line;
  while (!line.endsWith('\n') && control.waitForReadyRead(5000)) line += control.readAll();
  const QJsonObject m =
      QJsonDocument::fromJson(line.mid(3)).object()["modules"].toArray()[0].toObject();
  QStringList out{m["name"].toString(), QString::number(m["config"].toInt())};
  for (const char* key : {"default_low", "default_high"}) {
    out << QJsonDocument(m[key].toArray()).toJson(QJsonDocument::Compact);
  }
  for (const char* key : {"default_pwm_period", "default_pwm_high", "default_direction",
                          "network_baud", "comm_delay_ms"}) {
    out << QString::number(m[key].toInt());
  }
  return out.join(' ');
}
}  // namespace

class SettingsEndToEnd : public QObject {
  Q_OBJECT

 private slots:
  void settingsReachTheModuleAndTheReportIsSaved() {
    const QString sim = QCoreApplication::applicationDirPath() + "/brimtally-sim";
    if (!QFile::exists(DynamicLibrary::defaultPath()) || !QFile::exists(sim)) {
      QSKIP("the brimtally library or the simulator is not built beside the test");
    }
    QTemporaryDir dir;
    QVERIFY(dir.isValid() && QDir::setCurrent(dir.path()));
    QProcess module;  // killed when the test ends, however it ends
    module.start(sim,
                 {"--config", "0002", "--control", dir.filePath("c.sock"), "--die-with-parent"});
    QTRY_VERIFY_WITH_TIMEOUT(module.canReadLine(), kBound);
    qputenv("BRIMTALLY_COM1", module.readLine().trimmed());
    QLocalSocket control;
    control.connectToServer(dir.filePath("c.sock"));
    QVERIFY2(control.waitForConnected(kBound), qPrintable(control.errorString()));

    FakeBoxes boxes;  // any message box would be a failure; they are recorded
    FakeExit exit;
    SystemClock clock;
    DynamicLibrary library(DynamicLibrary::defaultPath(), boxes, exit);
    TopForm form(Services{library, boxes, exit, clock});
    const auto& c = form.controls();
    const auto& s = form.state();
    const auto drained = [&s] { return s.Commands.occupied() == 0 && s.ReplyWait == 0; };

    c.ComSel[0]->click();
    c.ModName->setText("TANK7");
    c.SelMod->click();
    QTRY_COMPARE_WITH_TIMEOUT(c.ModIDAlarm->colour(), colours::Sent, kBound);
    for (int bit : {2, 6, 7}) c.ConfigReq[bit]->click();
    c.UpdateConfig->click();
    QTRY_COMPARE_WITH_TIMEOUT(s.ConfigWord, 0x00C4, kBound);
    QTRY_VERIFY_WITH_TIMEOUT(drained(), kBound);
    QCOMPARE(c.ConfigAlert->colour(), colours::Sent);

    // Six commands of the eight slots, then the four others.
    c.HLimSet[0]->setValue(240);
    c.LLimSet[0]->setValue(10);
    c.LLim12Set[1]->setValue(200);
    c.HLim12Set[1]->setValue(4000);
    c.SetAna8DefaultLimits->click();
    c.SetAna12DefaultLimits->click();
    QTRY_VERIFY_WITH_TIMEOUT(drained(), kBound);
    c.PWMPeriodSet->setValue(1003);
    c.NetBaud->setCurrentIndex(4);
    c.ComDlySldr->setValue(100);
    for (QPushButton* b : {c.SetDefaultPWM, c.SetDefaultPortDir, c.SetNetBaud, c.SetDelay}) {
      b->click();
    }
    QTRY_VERIFY_WITH_TIMEOUT(drained(), kBound);
    // Every line an output: direction 0.
    QTRY_COMPARE_WITH_TIMEOUT(
        moduleState(control),
        "TANK7 196 [10,0,0,0,0,200] [240,255,255,255,4095,4000] 1003 502 0 19200 100", kBound);

    c.PrintButton->click();
    QVERIFY(form.pickFile() && form.pickFile()->isVisible());
    form.pickFile()->Text1->setText("tank7.txt");
    form.pickFile()->Command1->click();
    QTRY_VERIFY_WITH_TIMEOUT(s.ParamsSaved, kBound);
    QFile report("tank7.txt");
    QVERIFY(report.open(QIODevice::ReadOnly));
    QVERIFY(report.readAll().contains(
        "\r\nConfiguration (hex): 00C4\r\nAnalog Limits   CH    Low   High "
        "(hex)\r\n                 0     0A    F0\r\n"));
    QVERIFY2(boxes.shown.isEmpty(), qPrintable(boxes.shown.join('\n')));
    c.Timer2->stop();
    library.btPortClose();
    module.terminate();
    QVERIFY(module.waitForFinished(kBound));
  }
};

QTEST_MAIN(SettingsEndToEnd)
#include "tst_settings_end_to_end.moc"
