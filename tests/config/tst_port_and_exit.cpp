// Choosing the port, renaming, sending typed text, and leaving the program.
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include "colours.h"
#include "fakes.h"
#include "light.h"

namespace {
// Which of NetBaudRate, ModID, CommDelay, PortDir, Send, UpdateConfig are on
// show: "111011" while a port is open, before any configuration reply.
QString portLook(const TopFormControls& c) {
  QString look;
  for (QWidget* w : std::initializer_list<QWidget*>{c.NetBaudRate, c.ModID, c.CommDelay, c.PortDir})
    look += w->isHidden() ? '0' : '1';
  return look + (c.Send->isEnabled() ? '1' : '0') + (c.UpdateConfig->isEnabled() ? '1' : '0');
}

// A port open, a reply offering the 8-bit limits and the port lines, and every
// visible group green.
void allSent(Rig& r) {
  r.openAndDrain();
  r.form.ConfigReply("C:0080");
  for (Light* l : {r.c.ConfigAlert, r.c.NetBaudAlarm, r.c.ModIDAlarm, r.c.CommDelayAlarm,
                   r.c.IODirAlarm, r.c.Ana8Alarm}) {
    l->setColour(colours::Sent);
  }
}
}  // namespace

class PortAndExit : public QObject {
  Q_OBJECT

 private slots:
  void choosingPortsOpensClosesAndKeepsTheQueue() {
    Rig r;
    r.choose(0);
    QCOMPARE(r.lib.calls, (QStringList{"open 1 9600", "init"}));
    QCOMPARE(r.s.DeviceRec.ReplyTimeout, 30);
    QCOMPARE(portLook(r.c), QString("111011"));
    r.s.NextCommand = "X";
    r.form.QueueCommand();
    r.lib.calls.clear();
    r.choose(0);  // the option already chosen: nothing happens
    QVERIFY(r.lib.calls.isEmpty());
    r.choose(1);
    QCOMPARE(r.lib.calls, (QStringList{"close", "open 2 9600", "init"}));
    QCOMPARE(r.s.ComPort, 2);
    r.ticks(3);
    QCOMPARE(r.lib.sent(), (QStringList{"QC", "X"}));
    QCOMPARE(r.exit.ends, 0);
    QVERIFY(r.boxes.shown.isEmpty());
  }

  void failedOpenOrSetUpLeavesNoPortChosen_data() {
    QTest::addColumn<bool>("openedBefore");
    QTest::addColumn<bool>("setUpFails");
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<QString>("message");
    const QString cannotOpen = "ok||Can Not Open Comm Port";
    QTest::newRow("first open") << false << false << QStringList{"open 2 9600"} << cannotOpen;
    QTest::newRow("reopen") << true << false << QStringList{"close", "open 2 9600"} << cannotOpen;
    QTest::newRow("set-up") << false << true << QStringList{"open 2 9600", "init", "close"}
                            << "ok||Can Not Initialize Data Structure";
  }
  void failedOpenOrSetUpLeavesNoPortChosen() {
    QFETCH(bool, openedBefore);
    QFETCH(bool, setUpFails);
    QFETCH(QStringList, calls);
    QFETCH(QString, message);
    Rig r;
    if (openedBefore) {
      r.openAndDrain();
      r.form.ConfigReply("C:0000");  // shows PortDir
    }
    (setUpFails ? r.lib.initStatus : r.lib.openResult[2]) = setUpFails ? 8 : BT_OPEN_FAILED;
    r.choose(1);
    QCOMPARE(r.lib.calls, calls);
    QCOMPARE(r.boxes.shown, QStringList{message});
    QCOMPARE(r.s.ComPort, 0);
    QCOMPARE(r.s.PortOpen, 0);
    QCOMPARE(portLook(r.c), QString("000000"));
    r.lib.calls.clear();
    r.ticks(3);
    QVERIFY(r.lib.calls.isEmpty());  // no traffic on a port that is not there
    QVERIFY(!r.c.PrintButton->isEnabled());
    // The same option can be chosen again to retry.
    r.lib.openResult.clear();
    r.lib.initStatus = 0;
    r.choose(1);
    QCOMPARE(r.s.PortOpen, 1);
  }

  void renameQueuesNameAndQueryAndNameEditsTurnLightsOrange() {
    Rig r;
    r.s.Commands.clear();
    r.s.VersionPending = false;
    r.s.ParamsSaved = true;
    r.c.ModName->setText("Pump");
    for (Light* l : r.form.findChildren<Light*>()) l->setColour(colours::Sent);
    QTest::keyClick(r.c.ModName, Qt::Key_Backspace);
    for (Light* l : r.form.findChildren<Light*>()) {
      const bool alarm = !l->objectName().contains("ConfigBit") && l != r.c.ComOK;
      QCOMPARE(l->colour(), alarm ? colours::Unsent : colours::Sent);
    }
    r.c.SelMod->click();  // with no port open, too
    r.c.ModName->clear();
    r.c.SelMod->click();
    QCOMPARE(r.s.Commands.slot(0) + r.s.Commands.slot(1) + r.s.Commands.slot(2),
             QString("A PumQCA "));
    QVERIFY(r.s.VersionPending && !r.s.ParamsSaved);
  }

  void sendQueuesTypedTextOnlyWhileAPortIsOpen() {
    Rig r;
    r.s.Commands.clear();
    r.c.DataSent->setText("QI");
    r.form.Send_Click();
    QCOMPARE(r.s.Commands.occupied(), 0);
    r.choose(0);
    r.c.DataSent->setText(" qc  ");
    r.c.Send->click();
    r.form.Timer2_Timer();
    r.c.Send->click();  // again, with what the box shows after the send
    QCOMPARE(r.s.Commands.slot(0), QString(" qc  "));
    QCOMPARE(r.lib.sent(), QStringList{" qc  "});
  }

  void allParametersSentCountsOnlyVisibleFeatureGroups() {
    Rig r;
    QVERIFY(!r.form.AllParametersSent());  // no port: the name group is hidden
    allSent(r);
    QVERIFY(r.form.AllParametersSent());  // Ana12Alarm is orange but its frame hidden
    for (Light* l : {r.c.ConfigAlert, r.c.NetBaudAlarm, r.c.ModIDAlarm, r.c.CommDelayAlarm,
                     r.c.IODirAlarm, r.c.Ana8Alarm}) {
      l->setColour(colours::Unsent);
      QVERIFY2(!r.form.AllParametersSent(), qPrintable(l->objectName()));
      l->setColour(colours::Fault);  // anything but orange counts as sent
    }
    QVERIFY(r.form.AllParametersSent());
  }

  void doneAndTheWindowFrameAskTheOneQuestionThatApplies() {
    const QString notSent = "yesNo|Done|All Parameters have NOT been sent.  Exit anyway?";
    const QString notSaved = "yesNo|Done|All Parameters have NOT been Saved.  Exit anyway?";
    struct Case {
      bool port, sent, saved, answer;
      QString question;
      bool ends;
    };
    for (const Case& k : {Case{false, false, false, false, {}, true},
                          {true, false, true, true, notSent, true},
                          {true, false, true, false, notSent, false},
                          {true, false, false, true, notSent, true},  // never both questions
                          {true, true, false, true, notSaved, true},
                          {true, true, false, false, notSaved, false},
                          {true, true, true, false, {}, true}}) {
      for (bool byWindowFrame : {false, true}) {
        Rig r;
        if (k.port) allSent(r);
        if (!k.sent) r.c.ModIDAlarm->setColour(colours::Unsent);
        r.s.ParamsSaved = k.saved;
        r.s.NextCommand = "SP 3E8 1F4";
        r.form.QueueCommand();
        r.boxes.answers = {k.answer};
        r.form.show();
        if (byWindowFrame) {
          QCOMPARE(r.form.close(), k.ends);
        } else {
          r.form.Done_Click();
        }
        QCOMPARE(r.boxes.shown, k.question.isEmpty() ? QStringList{} : QStringList{k.question});
        QCOMPARE(r.exit.ends, k.ends ? 1 : 0);
        QCOMPARE(r.form.isVisible(), !k.ends);
        QCOMPARE(r.lib.calls, k.ends && k.port ? QStringList{"close"} : QStringList{});
        r.form.Timer2_Timer();  // after an end nothing more goes out
        QCOMPARE(r.lib.sent(), k.ends ? QStringList{} : QStringList{"SP 3E8 1F4"});
      }
    }
  }
};

QTEST_MAIN(PortAndExit)
#include "tst_port_and_exit.moc"
