// The program against the real library and the simulated module on a
// pseudo-terminal: the start-up query goes out and the configuration comes
// back and is shown; a rename is confirmed by the module's prompt; a new
// configuration and every group of default settings are sent and seen in the
// module's state; and the report is saved through the chooser. Once on the
// pseudo-terminal itself, and once through a ser2net in front of it (RFC 2217;
// raw TCP is the network suite's).
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QLocalSocket>
#include <QProcess>
#include <QPushButton>
#include <QSlider>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include "colours.h"
#include "dynamic_library.h"
#include "fakes.h"
#include "file_chooser.h"
#include "light.h"

namespace {
// Generous: two cores, other builds beside us.
constexpr int kBound = 20000;          // start-up, configuration and rename
constexpr int kSettingsBound = 30000;  // the default settings and the report

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

// Starts ser2net in front of `device` on a free loopback port (character
// delay off) and gives the port name that reaches it, once it listens.
QString serve(QProcess& server, const QString& scheme, const QByteArray& device) {
  QTcpServer probe;
  probe.listen(QHostAddress::LocalHost);
  const QString port = QString::number(probe.serverPort());
  probe.close();
  server.start("ser2net", {"-n", "-u", "-P", "ser2net.pid", "-Y",
                           "connection: &l#  accepter: " +
                               QString(scheme == "rfc2217" ? "telnet(rfc2217),tcp" : "tcp") +
                               ",127.0.0.1," + port + "#  connector: serialdev," + device +
                               ",9600n81,local#  options:#    chardelay: false"});
  const QString listening = QString("0100007F:%1").arg(port.toInt(), 4, 16, QChar('0')).toUpper();
  for (int i = 0; i < 1000; ++i, QThread::msleep(10)) {
    QFile table("/proc/net/tcp");
    if (table.open(QIODevice::ReadOnly) &&
        table.readAll().contains(listening.toLatin1() + " 00000000:0000 0A")) {
      break;
    }
  }
  return scheme + "://127.0.0.1:" + port;
}
}  // namespace

class SettingsEndToEnd : public QObject {
  Q_OBJECT

 private slots:
  void configurationRenameSettingsAndReport_data() {
    QTest::addColumn<QString>("scheme");
    QTest::newRow("pseudo-terminal") << QString();
    QTest::newRow("rfc2217") << QString("rfc2217");
  }

  void configurationRenameSettingsAndReport() {
    QFETCH(QString, scheme);
    const QString sim = QCoreApplication::applicationDirPath() + "/brimtally-sim";
    if (!QFile::exists(DynamicLibrary::defaultPath()) || !QFile::exists(sim)) {
      QSKIP("the brimtally library or the simulator is not built beside the test");
    }
    QTemporaryDir dir;
    QVERIFY(dir.isValid() && QDir::setCurrent(dir.path()));
    QProcess module;  // killed when the test ends, however it ends
    // PWM (bit 2) and both limit editors (bits 6, 7), port lines 0-7 locked.
    module.start(sim,
                 {"--config", "00C5", "--control", dir.filePath("c.sock"), "--die-with-parent"});
    QTRY_VERIFY_WITH_TIMEOUT(module.canReadLine(), kBound);
    const QByteArray device = module.readLine().trimmed();
    QProcess server;  // killed at the end, like the module
    qputenv("BRIMTALLY_COM1", scheme.isEmpty() ? device : serve(server, scheme, device).toLatin1());
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
    QVERIFY2(boxes.shown.isEmpty(), qPrintable(boxes.shown.join('\n')));
    QCOMPARE(s.PortOpen, 1);
    QTRY_COMPARE_WITH_TIMEOUT(c.DataSent->text(), QString("QC"), kBound);
    QTRY_COMPARE_WITH_TIMEOUT(c.ConfigAlert->colour(), colours::Sent, kBound);
    QCOMPARE(s.ConfigWord, 0x00C5);
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

    // The requested word replaces the module's: bit 0 cleared.
    for (int bit : {2, 6, 7}) c.ConfigReq[bit]->click();
    c.UpdateConfig->click();
    QTRY_COMPARE_WITH_TIMEOUT(s.ConfigWord, 0x00C4, kSettingsBound);
    QTRY_VERIFY_WITH_TIMEOUT(drained(), kSettingsBound);
    QCOMPARE(c.ConfigAlert->colour(), colours::Sent);

    // Six commands of the eight slots, then the four others.
    c.HLimSet[0]->setValue(240);
    c.LLimSet[0]->setValue(10);
    c.LLim12Set[1]->setValue(200);
    c.HLim12Set[1]->setValue(4000);
    c.SetAna8DefaultLimits->click();
    c.SetAna12DefaultLimits->click();
    QTRY_VERIFY_WITH_TIMEOUT(drained(), kSettingsBound);
    c.PWMPeriodSet->setValue(1003);
    c.NetBaud->setCurrentIndex(4);
    c.ComDlySldr->setValue(100);
    for (QPushButton* b : {c.SetDefaultPWM, c.SetDefaultPortDir, c.SetNetBaud, c.SetDelay}) {
      b->click();
    }
    QTRY_VERIFY_WITH_TIMEOUT(drained(), kSettingsBound);
    // Every line an output: direction 0.
    QTRY_COMPARE_WITH_TIMEOUT(
        moduleState(control),
        "TANK7 196 [10,0,0,0,0,200] [240,255,255,255,4095,4000] 1003 502 0 19200 100",
        kSettingsBound);

    c.PrintButton->click();
    QVERIFY(form.pickFile() && form.pickFile()->isVisible());
    form.pickFile()->Text1->setText("tank7.txt");
    form.pickFile()->Command1->click();
    QTRY_VERIFY_WITH_TIMEOUT(s.ParamsSaved, kSettingsBound);
    QFile report("tank7.txt");
    QVERIFY(report.open(QIODevice::ReadOnly));
    QVERIFY(report.readAll().contains(
        "\r\nConfiguration (hex): 00C4\r\nAnalog Limits   CH    Low   High "
        "(hex)\r\n                 0     0A    F0\r\n"));
    QVERIFY2(boxes.shown.isEmpty(), qPrintable(boxes.shown.join('\n')));
    c.Timer2->stop();
    library.btPortClose();
    for (QProcess* p : {&server, &module}) {
      p->terminate();
      QVERIFY(p->state() == QProcess::NotRunning || p->waitForFinished(kSettingsBound));
    }
  }
};

QTEST_MAIN(SettingsEndToEnd)
#include "tst_settings_end_to_end.moc"
