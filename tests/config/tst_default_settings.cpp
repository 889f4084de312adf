// The configuration request and the default-setting editors: the commands
// they queue, refused limit boxes, the lights each edit and send leaves, and
// the limit sliders' crossing guard.
#include <QtTest>
#include <algorithm>

#include "colours.h"
#include "light.h"
#include "script.h"

class DefaultSettings : public QObject {
  Q_OBJECT

 private slots:
  // On an open port with an empty buffer, every light green and the report
  // saved: the script; the commands it queued (or a tick sent), "|" between
  // them; the lights it left orange, with "unsaved" when the report no longer
  // counts as saved; and the message shown (part of it).
  void commandsAndLights_data() {
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("commands");
    QTest::addColumn<QString>("orange");
    QTest::addColumn<QString>("message");
    const auto row = [](QString script, const char* commands, const char* orange,
                        QString message = {}) {
      QTest::newRow(qPrintable(script)) << script << commands << orange << message;
    };
    const char* asked = "Ana12Alarm Ana8Alarm IODirAlarm PWMAlarm unsaved";
    row("UpdateConfig", "CO 0|QC", asked);
    const char* edited = "Ana12Alarm Ana8Alarm ConfigAlert IODirAlarm PWMAlarm unsaved";
    row("ConfigReq(0);ConfigReq(5);UpdateConfig", "CO 21|QC", edited);
    QString all;  // the reserved boxes cannot be ticked
    for (int n = 0; n < 16; ++n) all += QString("ConfigReq(%1);").arg(n);
    row(all + "UpdateConfig", "CO 33FF|QC", edited);
    row("SetAna8DefaultLimits;SetAna12DefaultLimits",
        "SLD 0 0 FF|SLD 1 0 FF|SLD 2 0 FF|SLD 3 0 FF|SLD 4 0 FFF|SLD 5 0 FFF", "unsaved");
    // The boxes are sent, also beyond their sliders' range.
    row("HLimSet(2)=200;LLimSet(2)=16;LLim(0)= 300 ;LLim12(1)=000000000065535;"
        "SetAna8DefaultLimits;SetAna12DefaultLimits",
        "SLD 0 12C FF|SLD 1 0 FF|SLD 2 10 C8|SLD 3 0 FF|SLD 4 0 FFF|SLD 5 FFFF FFF", "unsaved");
    for (const char* bad : {"", "12.5", "-3", "abc", "2147483648"}) {
      row(QString("HLim(3)=%1;SetAna8DefaultLimits").arg(bad), "", "Ana8Alarm",
          QString("8 bit channel 3 high limit box holds \"%1\"").arg(bad));
    }
    row("LLim12(0)=0x10;SetAna8DefaultLimits;SetAna12DefaultLimits",
        "SLD 0 0 FF|SLD 1 0 FF|SLD 2 0 FF|SLD 3 0 FF", "Ana12Alarm unsaved",
        "12 bit channel 4 low limit box holds \"0x10\"");
    // Three free slots: channel 3 is dropped, the light still turns green.
    row("DataSent=A;Send;Send;Send;Send;Send;SetAna8DefaultLimits",
        "A|A|A|A|A|SLD 0 0 FF|SLD 1 0 FF|SLD 2 0 FF", "unsaved",
        "Not enough room in the Command Buffer.  Go SLOWER!!");
    // The high time is rounded half to even; the period runs from 16 to 32767.
    row("SetDefaultPWM", "SP 3E8 1F4", "unsaved");
    row("PWMPeriodSet=1001;SetDefaultPWM", "SP 3E9 1F4", "unsaved");
    row("PWMPeriodSet=1003;SetDefaultPWM", "SP 3EB 1F6", "unsaved");
    row("PWMPeriodSet=18;PWMPctSet=25;SetDefaultPWM", "SP 12 4", "unsaved");
    row("PWMPeriodSet=5;PWMPctSet=0;SetDefaultPWM", "SP 10 0", "unsaved");
    row("PWMPeriodSet=40000;PWMPctSet=120;SetDefaultPWM", "SP 7FFF 7FFF", "unsaved");
    // Typed values only mark their group unsent; the sliders are sent.
    row("PWMPeriod=2000;ComDlyTxt=100", "", "CommDelayAlarm PWMAlarm");
    row("PWMPct=1;ComDlyTxt=100;SetDefaultPWM;SetDelay", "SP 3E8 1F4|CD 32", "unsaved");
    row("ComDlySldr=255;SetDelay;ComDlySldr=-1;SetDelay", "CD FE|CD 0", "unsaved");
    // Every line "I" in the design, outputs after a reply; lines locked by the
    // configuration count by their captions.
    row("SetDefaultPortDir;<<C:0000;SetDefaultPortDir;DDir(0);DDir(7);DDir(3);DDir(3);"
        "SetDefaultPortDir;<<C:0208;SetDefaultPortDir",
        "SBD FF|SBD 0|SBD 81|SBD 1", "unsaved");
    row("NetBaud=0;SetNetBaud;NetBaud=1;SetNetBaud;NetBaud=2;SetNetBaud;NetBaud=3;SetNetBaud;"
        "NetBaud=4;SetNetBaud;NetBaud=5;SetNetBaud",
        "CB 3|CB 12|CB 24|CB 96|CB 19|CB 57", "unsaved");
    row("LLimSet(1)=7", "", "Ana8Alarm");
    row("HLim12Set(0)=9", "", "Ana12Alarm");
    row("LLim12(0)=9", "", "Ana12Alarm");
    row("PWMPctSet=9", "", "PWMAlarm");
    row("DDir(2)", "", "IODirAlarm");
    row("NetBaud=1", "", "NetBaudAlarm");
    row("ComDlySldr=9", "", "CommDelayAlarm");
    row("ConfigReq(3)", "", "ConfigAlert");
  }
  void commandsAndLights() {
    QFETCH(QString, script);
    QFETCH(QString, commands);
    QFETCH(QString, orange);
    QFETCH(QString, message);
    Rig r;
    r.openAndDrain();
    for (Light* l : r.form.findChildren<Light*>()) l->setColour(colours::Sent);
    r.s.ParamsSaved = true;
    run(r, script);
    QStringList queued = r.lib.sent();
    for (int i = 0; i < CommandBuffer::kSlots; ++i) queued << r.s.Commands.slot(i);
    queued.removeAll(QString());
    QCOMPARE(queued.join('|'), commands);
    QStringList unsent;
    for (Light* l : r.form.findChildren<Light*>()) {
      if (l->colour() == colours::Unsent) unsent << l->objectName();
    }
    std::sort(unsent.begin(), unsent.end());
    if (!r.s.ParamsSaved) unsent << "unsaved";
    QCOMPARE(unsent.join(' '), orange);
    QCOMPARE(r.boxes.shown.size(), message.isEmpty() ? 0 : 1);
    if (!message.isEmpty())
      QVERIFY2(r.boxes.shown[0].contains(message), qPrintable(r.boxes.shown[0]));
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
