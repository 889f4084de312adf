// The configuration request and the default-setting editors: the commands
// they queue, refused limit boxes, the lights each edit and send leaves, and
// the limit sliders' crossing guard.
#include <QtTest>

#include "colours.h"
#include "light.h"
#include "script.h"

class DefaultSettings : public QObject {
  Q_OBJECT

 private slots:
  // On an open port with an empty buffer: the script, the commands it
  // queues (or a tick sent), and the message it shows (part of it; none when empty).
  void commandsQueued_data() {
    QTest::addColumn<QString>("script");
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<QString>("message");
    const auto row = [](const char* script, QStringList commands, QString message = {}) {
      QTest::newRow(script) << QString(script) << commands << message;
    };
    row("UpdateConfig", {"CO 0", "QC"});
    row("ConfigReq(0);ConfigReq(5);UpdateConfig", {"CO 21", "QC"});
    QString all;  // the reserved boxes cannot be ticked
    for (int n = 0; n < 16; ++n) all += QString("ConfigReq(%1);").arg(n);
    QTest::newRow("all") << all + "UpdateConfig" << QStringList{"CO 33FF", "QC"} << QString();
    row("SetAna8DefaultLimits;SetAna12DefaultLimits",
        {"SLD 0 0 FF", "SLD 1 0 FF", "SLD 2 0 FF", "SLD 3 0 FF", "SLD 4 0 FFF", "SLD 5 0 FFF"});
    // The boxes are sent, also beyond their sliders' range.
    row("HLimSet(2)=200;LLimSet(2)=16;LLim(0)= 300 ;LLim12(1)=000000000065535;SetAna8DefaultLimits;"
        "SetAna12DefaultLimits",
        {"SLD 0 12C FF", "SLD 1 0 FF", "SLD 2 10 C8", "SLD 3 0 FF", "SLD 4 0 FFF",
         "SLD 5 FFFF FFF"});
    for (const char* bad : {"", "12.5", "-3", "abc", "1 2", "2147483648"}) {
      QTest::newRow(qPrintable(QString("refused '%1'").arg(bad)))
          << QString("HLim(3)=%1;SetAna8DefaultLimits;SetAna12DefaultLimits").arg(bad)
          << QStringList{"SLD 4 0 FFF", "SLD 5 0 FFF"}
          << QString("8 bit channel 3 high limit box holds \"%1\"").arg(bad);
    }
    row("LLim12(0)=0x10;SetAna12DefaultLimits", {},
        "12 bit channel 4 low limit box holds \"0x10\"");
    row("DataSent=A;Send;Send;Send;Send;Send;SetAna8DefaultLimits",
        {"A", "A", "A", "A", "A", "SLD 0 0 FF", "SLD 1 0 FF", "SLD 2 0 FF"},
        "Not enough room in the Command Buffer.  Go SLOWER!!");
    // The high time is rounded half to even; the period runs from 16 to 32767.
    row("SetDefaultPWM", {"SP 3E8 1F4"});
    row("PWMPeriodSet=1001;SetDefaultPWM", {"SP 3E9 1F4"});
    row("PWMPeriodSet=1003;SetDefaultPWM", {"SP 3EB 1F6"});
    row("PWMPeriodSet=18;PWMPctSet=25;SetDefaultPWM", {"SP 12 4"});
    row("PWMPeriodSet=30;PWMPctSet=25;SetDefaultPWM", {"SP 1E 8"});
    row("PWMPeriodSet=5;PWMPctSet=0;SetDefaultPWM", {"SP 10 0"});
    row("PWMPeriodSet=40000;PWMPctSet=120;SetDefaultPWM", {"SP 7FFF 7FFF"});
    row("PWMPeriod=2000;PWMPct=1;ComDlyTxt=100;SetDefaultPWM;SetDelay", {"SP 3E8 1F4", "CD 32"});
    row("ComDlySldr=255;SetDelay;ComDlySldr=-1;SetDelay", {"CD FE", "CD 0"});
    // Every line "I" in the design, then outputs after a reply; lines locked
    // by the configuration count by their captions.
    row("SetDefaultPortDir;<<C:0000;SetDefaultPortDir;DDir(0);DDir(7);DDir(3);DDir(3);"
        "SetDefaultPortDir;<<C:0208;SetDefaultPortDir",
        {"SBD FF", "SBD 0", "SBD 81", "SBD 1"});
    row("NetBaud=0;SetNetBaud;NetBaud=1;SetNetBaud;NetBaud=2;SetNetBaud;NetBaud=3;SetNetBaud;"
        "NetBaud=4;SetNetBaud;NetBaud=5;SetNetBaud",
        {"CB 3", "CB 12", "CB 24", "CB 96", "CB 19", "CB 57"});
  }
  void commandsQueued() {
    QFETCH(QString, script);
    QFETCH(QStringList, commands);
    QFETCH(QString, message);
    Rig r;
    r.openAndDrain();
    run(r, script);
    QStringList queued = r.lib.sent();  // what a reply's tick sent first
    for (int i = 0; i < CommandBuffer::kSlots; ++i) queued << r.s.Commands.slot(i);
    queued.removeAll(QString());
    QCOMPARE(queued, commands);
    QCOMPARE(r.boxes.shown.size(), message.isEmpty() ? 0 : 1);
    if (!message.isEmpty())
      QVERIFY2(r.boxes.shown[0].contains(message), qPrintable(r.boxes.shown[0]));
  }

  // An edit paints only its group's light orange; the send paints it green,
  // also when the buffer dropped part of it, and marks the report unsaved. A
  // refused send changes neither. A new configuration asks again for the four
  // groups it governs.
  void editsAndSendsPaintTheirLight_data() {
    QTest::addColumn<QString>("edit");
    QTest::addColumn<QString>("send");
    QTest::addColumn<QStringList>("orange");
    QTest::addColumn<bool>("sent");
    const auto row = [](const char* edit, const char* send, QStringList orange, bool sent = true) {
      QTest::newRow(edit) << edit << send << orange << sent;
    };
    row("LLimSet(1)=7", "SetAna8DefaultLimits", {"Ana8Alarm"});
    row("HLim(2)=9", "SetAna8DefaultLimits", {"Ana8Alarm"});
    row("DataSent=A;Send;Send;Send;Send;Send;Send;HLim(2)=9", "SetAna8DefaultLimits",
        {"Ana8Alarm"});
    row("HLim(2)=x", "SetAna8DefaultLimits", {"Ana8Alarm"}, false);
    row("HLim12Set(0)=9", "SetAna12DefaultLimits", {"Ana12Alarm"});
    row("PWMPctSet=9", "SetDefaultPWM", {"PWMAlarm"});
    row("DDir(2)", "SetDefaultPortDir", {"IODirAlarm"});
    row("NetBaud=1", "SetNetBaud", {"NetBaudAlarm"});
    row("ComDlySldr=9", "SetDelay", {"CommDelayAlarm"});
    row("ComDlyTxt=9", "SetDelay", {"CommDelayAlarm"});
    row("ConfigReq(3)", "UpdateConfig",
        {"ConfigAlert", "Ana8Alarm", "Ana12Alarm", "PWMAlarm", "IODirAlarm"}, false);
  }
  void editsAndSendsPaintTheirLight() {
    QFETCH(QString, edit);
    QFETCH(QString, send);
    QFETCH(QStringList, orange);
    QFETCH(bool, sent);
    Rig r;
    r.openAndDrain();
    const QList<Light*> lights = r.form.findChildren<Light*>();
    for (Light* l : lights) l->setColour(colours::Sent);
    r.s.ParamsSaved = true;
    run(r, edit);
    QStringList shown;
    for (Light* l : lights) {
      if (l->colour() == colours::Unsent) shown << l->objectName();
    }
    QCOMPARE(shown, orange.mid(0, 1));
    run(r, send);
    shown.clear();
    for (Light* l : lights) {
      if (l->colour() == colours::Unsent) shown << l->objectName();
    }
    QCOMPARE(shown.size(), sent ? 0 : orange.size());
    QCOMPARE(r.s.ParamsSaved, !sent && send != "UpdateConfig");
  }

  // A slider that crosses the other limit of its channel pushes it along;
  // the boxes are compared, read leniently, not the sliders.
  void limitSlidersPushTheOtherLimit_data() {
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("shown");  // boxes and sliders, low then high
    const auto row = [](const char* name, const char* script, const char* shown) {
      QTest::newRow(name) << QString(script) << QString(shown);
    };
    row("high down", "LLimSet(1)=100;HLimSet(1)=60", "60 60 60 60");
    row("low up", "HLimSet(1)=100;LLimSet(1)=200", "200 200 200 200");
    row("other channels", "LLimSet(0)=200;HLimSet(2)=5", "0 0 255 255");
    row("typed low", "LLim(1)=200;HLimSet(1)=150", "150 150 150 150");
    row("lenient", "LLim(1)= 1 5.7abc;HLimSet(1)=15", "15 15 15 15");
    row("no number", "LLim(1)=x9;HLimSet(1)=0", "x9 0 0 0");
    row("12 bit", "HLim12Set(1)=1000;LLim12Set(1)=3000;LLim12Set(0)=10;HLim12Set(0)=5",
        "3000 3000 3000 3000 5 5 5 5");
  }
  void limitSlidersPushTheOtherLimit() {
    QFETCH(QString, script);
    QFETCH(QString, shown);
    Rig r;
    run(r, script);
    QStringList names{"LLim(1)", "LLimSet(1)", "HLim(1)", "HLimSet(1)"};
    if (script.contains("12")) {
      names = QStringList{"LLim12(1)", "LLim12Set(1)", "HLim12(1)", "HLim12Set(1)",
                          "LLim12(0)", "LLim12Set(0)", "HLim12(0)", "HLim12Set(0)"};
    }
    QStringList got;
    for (const QString& name : names) {
      QWidget* w = r.form.findChild<QWidget*>(name);
      auto* slider = qobject_cast<QSlider*>(w);
      got << (slider ? QString::number(slider->value()) : qobject_cast<QLineEdit*>(w)->text());
    }
    QCOMPARE(got.join(' '), shown);
  }
};

QTEST_MAIN(DefaultSettings)
#include "tst_default_settings.moc"
