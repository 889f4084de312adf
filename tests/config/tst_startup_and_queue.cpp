// The window as it starts, and the eight-slot command buffer.
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTimer>
#include <QtTest>

#include "colours.h"
#include "fakes.h"
#include "light.h"

class StartupAndQueue : public QObject {
  Q_OBJECT

 private slots:
  void startsWithOneQueryAndNothingOpen() {
    FakeLibrary lib;
    FakeBoxes boxes;
    FakeExit exit;
    FakeClock clock;
    TopForm form(Services{lib, boxes, exit, clock});
    const auto& c = form.controls();
    const auto& s = form.state();

    QVERIFY(lib.calls.isEmpty());  // start-up never touches the library
    QCOMPARE(s.Commands.slot(0), QString("QC"));
    QCOMPARE(s.Commands.occupied(), 1);
    QCOMPARE(s.ComPort, 0);
    QCOMPARE(s.PortOpen, 0);
    QVERIFY(s.VersionPending);
    QVERIFY(!s.ParamsSaved);
    QVERIFY(c.Timer2->isActive());
    QCOMPARE(c.Timer2->interval(), 400);

    QVERIFY(!c.Send->isEnabled());
    QVERIFY(!c.UpdateConfig->isEnabled());
    QVERIFY(!c.PrintButton->isEnabled());
    for (QGroupBox* f : {c.Analog8Lim, c.Analog12Lim, c.PWMDefaults, c.NetBaudRate, c.ModID,
                         c.CommDelay, c.PortDir}) {
      QVERIFY2(f->isHidden(), qPrintable(f->objectName()));
    }
    QVERIFY(!c.Communications->isHidden());
    for (Light* l : {c.ConfigAlert, c.Ana8Alarm, c.Ana12Alarm, c.PWMAlarm, c.CommDelayAlarm,
                     c.NetBaudAlarm, c.ModIDAlarm, c.IODirAlarm}) {
      QVERIFY2(l->colour() == colours::Unsent, qPrintable(l->objectName()));
    }
    QCOMPARE(c.ComOK->colour(), colours::Clear);
    for (Light* bit : c.ConfigBit) QCOMPARE(bit->colour(), colours::Clear);

    QCOMPARE(c.ComDlyTxt->text(), QString("50"));
    QCOMPARE(c.PWMPeriod->text(), QString("1000"));
    QCOMPARE(c.PWMPct->text(), QString("50"));
    QCOMPARE(c.ComDlySldr->value(), 50);
    QCOMPARE(c.PWMPeriodSet->value(), 1000);
    QCOMPARE(c.NetBaud->currentIndex(), 3);
    QCOMPARE(c.NetBaud->currentText(), QString("  9600"));
    for (int i = 0; i < 4; ++i) {
      QCOMPARE(c.LLimSet[i]->value(), 0);
      QCOMPARE(c.HLimSet[i]->value(), 255);
    }
    for (int i = 0; i < 2; ++i) {
      QCOMPARE(c.LLim12Set[i]->value(), 0);
      QCOMPARE(c.HLim12Set[i]->value(), 4095);
    }
  }

  void ticksWithoutPortOnlyGreyTheLight() {
    Rig r;
    r.c.ComOK->setColour(colours::Sent);
    r.s.PrintFlag = 1;
    r.ticks(3);
    QVERIFY(r.lib.calls.isEmpty());
    QCOMPARE(r.c.ComOK->colour(), colours::Clear);
    QVERIFY(!r.c.PrintButton->isEnabled());
    QCOMPARE(r.s.PrintFlag, 0);                     // served with no port open
    QCOMPARE(r.s.Commands.slot(0), QString("QC"));  // waits for a port
  }

  void queueFillsLowestFreeSlotAndSendsLowestOccupied() {
    Rig r;
    r.s.Commands.clear();
    r.s.Commands.slot(2) = "X2";
    r.s.Commands.slot(5) = "X5";
    r.choose(0);
    r.lib.calls.clear();
    r.form.Timer2_Timer();
    QCOMPARE(r.lib.sent(), QStringList{"X2"});
    QVERIFY(r.s.Commands.slot(2).isEmpty());
    r.s.NextCommand = "NEW";
    r.form.QueueCommand();
    QCOMPARE(r.s.Commands.slot(0), QString("NEW"));
    QCOMPARE(r.s.Commands.slot(5), QString("X5"));
    // After the reading tick, slot 0 is now the lowest occupied one.
    r.ticks(2);
    QCOMPARE(r.lib.sent(), (QStringList{"X2", "NEW"}));
  }

  void ninthCommandIsRefusedWhateverTheAnswer_data() {
    QTest::addColumn<bool>("answerOk");
    QTest::newRow("OK") << true;
    QTest::newRow("Cancel") << false;
  }
  void ninthCommandIsRefusedWhateverTheAnswer() {
    QFETCH(bool, answerOk);
    Rig r;
    for (int i = 1; i < 8; ++i) {
      r.s.NextCommand = QString("C%1").arg(i);
      r.form.QueueCommand();
    }
    QVERIFY(r.boxes.shown.empty());
    QCOMPARE(r.s.Commands.occupied(), 8);
    r.boxes.answers = {answerOk};
    r.s.NextCommand = "NINTH";
    r.form.QueueCommand();
    QCOMPARE(r.boxes.shown.size(), size_t{1});
    QCOMPARE(r.boxes.shown[0].kind, QString("okCancel"));
    QCOMPARE(r.boxes.shown[0].text, QString("Not enough room in the Command Buffer.  Go SLOWER!!"));
    QCOMPARE(r.s.Commands.slot(0), QString("QC"));
    for (int i = 1; i < 8; ++i) QCOMPARE(r.s.Commands.slot(i), QString("C%1").arg(i));
  }

  void markDefaultsUnsentLeavesNameBaudAndDelayAlone() {
    Rig r;
    for (Light* l : {r.c.Ana8Alarm, r.c.Ana12Alarm, r.c.PWMAlarm, r.c.IODirAlarm, r.c.ModIDAlarm,
                     r.c.NetBaudAlarm, r.c.CommDelayAlarm}) {
      l->setColour(colours::Sent);
    }
    r.s.ParamsSaved = true;
    r.form.MarkDefaultsUnsent();
    for (Light* l : {r.c.Ana8Alarm, r.c.Ana12Alarm, r.c.PWMAlarm, r.c.IODirAlarm}) {
      QCOMPARE(l->colour(), colours::Unsent);
    }
    for (Light* l : {r.c.ModIDAlarm, r.c.NetBaudAlarm, r.c.CommDelayAlarm}) {
      QCOMPARE(l->colour(), colours::Sent);
    }
    QVERIFY(!r.s.ParamsSaved);
  }
};

QTEST_MAIN(StartupAndQueue)
#include "tst_startup_and_queue.moc"
