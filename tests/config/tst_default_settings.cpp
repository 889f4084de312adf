// SPDX-License-Identifier: MIT
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
  // counts as saved; and the message shown (its lines, part of each).
  void commandsAndLights_data() {
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("commands");
    QTest::addColumn<QString>("orange");
    QTest::addColumn<QString>("message");
    const auto row = [](QString script, const char* commands, const char* orange,
                        QString message = {}) {
      QTest::newRow(qPrintable(script)) << script << commands << orange << message;
    };
    row("UpdateConfig", "CO 0|QC", "Ana12Alarm Ana8Alarm IODirAlarm PWMAlarm unsaved");
    const char* edited = "Ana12Alarm Ana8Alarm ConfigAlert IODirAlarm PWMAlarm unsaved";
    row("ConfigReq(0);ConfigReq(5);UpdateConfig", "CO 21|QC", edited);
    QString all;  // the reserved boxes cannot be ticked
    for (int n = 0; n < 16; ++n) all += QString("ConfigReq(%1);").arg(n);
    row(all + "UpdateConfig", "CO 33FF|QC", edited);
    row("HLimSet(2)=200;LLimSet(2)=16;LLim(0)= 25 ;LLim12(1)=00000000004000;"
        "SetAna8DefaultLimits;SetAna12DefaultLimits",
        "SLD 0 19 FF|SLD 1 0 FF|SLD 2 10 C8|SLD 3 0 FF|SLD 4 0 FFF|SLD 5 FA0 FFF", "unsaved");
    // Every box at fault is named with its own range; nothing of the group leaves.
    for (const char* bad : {"", "12.5", "-3", "abc", "256"}) {
      row(QString("HLim(3)=%1;LLim(0)=300;SetAna8DefaultLimits").arg(bad), "", "Ana8Alarm",
          QString("channel 0 low limit box holds \"300\", which is not a whole decimal number "
                  "from 0 to 255.\nThe 8 bit channel 3 high limit box holds \"%1\"")
              .arg(bad));
    }
    row("LLim12(0)=4096;HLim12(1)=0x10;SetAna8DefaultLimits;SetAna12DefaultLimits",
        "SLD 0 0 FF|SLD 1 0 FF|SLD 2 0 FF|SLD 3 0 FF", "Ana12Alarm unsaved",
        "4 low limit box holds \"4096\", which is not a whole decimal number from 0 to 4095.\n"
        "The 12 bit channel 5 high limit box holds \"0x10\"");
    // Typed boxes that cross are refused, never sent low above high.
    row("LLim(1)=200;HLim(1)=150;SetAna8DefaultLimits", "", "Ana8Alarm",
        "The 8 bit channel 1 low limit 200 is above its high limit 150.\nNo 8 bit limits");
    // Three free slots: channel 3 is dropped, the light still turns green.
    row("DataSent=A;Send;Send;Send;Send;Send;SetAna8DefaultLimits",
        "A|A|A|A|A|SLD 0 0 FF|SLD 1 0 FF|SLD 2 0 FF", "unsaved",
        "Not enough room in the Command Buffer.  Go SLOWER!!");
    // The high time is rounded half to even; the period runs from 16 to 32767.
    row("PWMPeriodSet=1001;SetDefaultPWM", "SP 3E9 1F4", "unsaved");
    row("PWMPeriodSet=1003;SetDefaultPWM", "SP 3EB 1F6", "unsaved");
    row("PWMPeriodSet=5;PWMPctSet=0;SetDefaultPWM", "SP 10 0", "unsaved");
    row("PWMPeriodSet=40000;PWMPctSet=120;SetDefaultPWM", "SP 7FFF 7FFF", "unsaved");
    // Typed values only mark their group unsent; the sliders are sent.
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
    // Each edit paints its own group's light.
    row("LLimSet(1)=7;HLim12Set(0)=9;PWMPeriod=2000;DDir(2);NetBaud=1;ComDlySldr=9;ConfigReq(3)",
        "", "Ana12Alarm Ana8Alarm CommDelayAlarm ConfigAlert IODirAlarm NetBaudAlarm PWMAlarm");
    row("LLim12(0)=9;PWMPctSet=9", "", "Ana12Alarm PWMAlarm");
    row("ModName=x", "",
        "Ana12Alarm Ana8Alarm CommDelayAlarm ConfigAlert IODirAlarm ModIDAlarm "
        "NetBaudAlarm PWMAlarm");
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

  // After a slider moves, or a box is left, a channel's low limit that would
  // cross its high limit pushes it along, and the other way round; the boxes
  // are read leniently. "!" leaves the box named before it by its Return key.
  void limitsNeverCross_data() {
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("shown");  // boxes and sliders, low then high
    const auto row = [](const char* name, const char* script, const char* shown) {
      QTest::newRow(name) << QString(script) << QString(shown);
    };
    row("high down", "LLimSet(1)=100;HLimSet(1)=60", "60 60 60 60");
    row("low up", "HLimSet(1)=100;LLimSet(1)=200", "200 200 200 200");
    row("other channels", "LLimSet(0)=200;HLimSet(2)=5", "0 0 255 255");
    row("typed low", "LLim(1)=200;HLimSet(1)=150", "150 150 150 150");
    // The low slider already stands where the high one pushes it.
    row("slider in place", "LLimSet(1)=150;LLim(1)=200;HLimSet(1)=150", "150 150 150 150");
    row("typed high left", "LLimSet(1)=150;HLim(1)=90;HLim(1)!", "90 90 90 255");
    row("typed low left", "HLimSet(1)=40;LLim(1)=90;LLim(1)!", "90 0 90 90");
    row("lenient", "LLim(1)= 1 5.7abc;HLimSet(1)=15", "15 15 15 15");
    row("no number", "LLim(1)=x9;HLimSet(1)=0", "x9 0 0 0");
    row("12 bit", "HLim12Set(1)=1000;LLim12Set(1)=3000;LLim12Set(0)=10;HLim12Set(0)=5",
        "3000 3000 3000 3000 5 5 5 5");
  }
  void limitsNeverCross() {
    QFETCH(QString, script);
    QFETCH(QString, shown);
    Rig r;
    for (QString step : script.split(';')) {
      if (!step.endsWith('!')) {
        run(r, step);
        continue;
      }
      step.chop(1);
      QTest::keyClick(r.form.findChild<QWidget*>(step), Qt::Key_Return);
    }
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
