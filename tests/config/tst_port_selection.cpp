// Choosing the port, renaming the module and sending typed commands.
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include "colours.h"
#include "fakes.h"
#include "light.h"

namespace {
bool openLook(const TopFormControls& c) {
  return !c.NetBaudRate->isHidden() && !c.ModID->isHidden() && !c.CommDelay->isHidden() &&
         c.Send->isEnabled() && c.UpdateConfig->isEnabled();
}
bool closedLook(const TopFormControls& c) {
  return c.NetBaudRate->isHidden() && c.ModID->isHidden() && c.CommDelay->isHidden() &&
         c.PortDir->isHidden() && !c.Send->isEnabled() && !c.UpdateConfig->isEnabled();
}
}  // namespace

class PortSelection : public QObject {
  Q_OBJECT

 private slots:
  void choosingComOneOpensItAndSetsUpTheRecord() {
    Rig r;
    r.choose(0);
    QCOMPARE(r.lib.calls, (QStringList{"open 1 9600", "init"}));
    QCOMPARE(r.s.ComPort, 1);
    QCOMPARE(r.s.PortOpen, 1);
    QCOMPARE(r.s.DeviceRec.ReplyTimeout, 30);
    QCOMPARE(QString(r.s.DeviceRec.DllVersion), QString(BT_DLL_VERSION));
    QVERIFY(openLook(r.c));
    QVERIFY(r.c.PortDir->isHidden());  // only a configuration reply shows it
    QVERIFY(r.boxes.shown.empty());
    r.lib.calls.clear();
    r.form.Timer2_Timer();
    QCOMPARE(r.lib.sent(), QStringList{"QC"});
  }

  void choosingComTwoClosesComOneFirstAndKeepsTheQueue() {
    Rig r;
    r.choose(0);
    r.s.NextCommand = "X";
    r.form.QueueCommand();
    r.c.ModIDAlarm->setColour(colours::Sent);
    r.lib.calls.clear();
    r.choose(1);
    QCOMPARE(r.lib.calls, (QStringList{"close", "open 2 9600", "init"}));
    QCOMPARE(r.s.ComPort, 2);
    QCOMPARE(r.s.PortOpen, 1);
    QCOMPARE(r.s.Commands.slot(0), QString("QC"));
    QCOMPARE(r.s.Commands.slot(1), QString("X"));
    QCOMPARE(r.c.ModIDAlarm->colour(), colours::Sent);
  }

  void choosingTheCurrentPortAgainDoesNothing() {
    Rig r;
    r.choose(0);
    r.lib.calls.clear();
    r.choose(0);             // a click on the option already chosen
    r.form.ComSel_Click(0);  // and the handler itself
    QVERIFY(r.lib.calls.isEmpty());
    QCOMPARE(r.exit.ends, 0);
    QCOMPARE(r.s.ComPort, 1);
    QVERIFY(r.c.ComSel[0]->isChecked());
  }

  void failedFirstOpenLeavesNoPortChosen() {
    Rig r;
    r.lib.openResult[1] = BT_OPEN_FAILED;
    r.choose(0);
    QCOMPARE(r.boxes.shown.size(), size_t{1});
    QCOMPARE(r.boxes.shown[0].kind, QString("ok"));
    QCOMPARE(r.boxes.shown[0].text, QString("Can Not Open Comm Port"));
    QCOMPARE(r.s.ComPort, 0);
    QCOMPARE(r.s.PortOpen, 0);
    QVERIFY(closedLook(r.c));
    QVERIFY(!r.c.ComSel[0]->isChecked());
    QVERIFY(!r.c.ComSel[1]->isChecked());
    // The same option can be chosen again to retry.
    r.lib.openResult.clear();
    r.choose(0);
    QCOMPARE(r.s.PortOpen, 1);
  }

  void failedReopenClosesTheWindowsPortState() {
    Rig r;
    r.openAndDrain();
    r.form.ConfigReply("C:0000");  // PortDir shown
    QVERIFY(!r.c.PortDir->isHidden());
    r.lib.openResult[2] = BT_OPEN_FAILED;
    r.choose(1);
    QCOMPARE(r.lib.calls, (QStringList{"close", "open 2 9600"}));
    QCOMPARE(r.s.ComPort, 0);
    QCOMPARE(r.s.PortOpen, 0);
    QVERIFY(closedLook(r.c));
    r.lib.calls.clear();
    r.ticks(3);
    QVERIFY(r.lib.calls.isEmpty());  // no traffic on a port that is not there
    QCOMPARE(r.c.ComOK->colour(), colours::Clear);
    QVERIFY(!r.c.PrintButton->isEnabled());
  }

  void failedSetUpClosesThePortAgain() {
    Rig r;
    r.lib.initStatus = 8;
    r.choose(1);
    QCOMPARE(r.lib.calls, (QStringList{"open 2 9600", "init", "close"}));
    QCOMPARE(r.boxes.shown.at(0).text, QString("Can Not Initialize Data Structure"));
    QCOMPARE(r.s.ComPort, 0);
    QCOMPARE(r.s.PortOpen, 0);
    QVERIFY(closedLook(r.c));
  }

  void renameQueuesTheNameAndAQuery() {
    Rig r;
    r.s.Commands.clear();
    r.s.VersionPending = false;
    r.s.ParamsSaved = true;
    r.c.ModName->setText("Pump");
    r.form.SelMod_Click();  // also with no port open
    QCOMPARE(r.s.Commands.slot(0), QString("A Pump"));
    QCOMPARE(r.s.Commands.slot(1), QString("QC"));
    QVERIFY(r.s.VersionPending);
    QVERIFY(!r.s.ParamsSaved);
    r.c.ModName->setText("");
    r.c.SelMod->click();
    QCOMPARE(r.s.Commands.slot(2), QString("A "));
  }

  void editingTheNameTurnsEveryLightOrange() {
    Rig r;
    const std::initializer_list<Light*> all = {
        r.c.ModIDAlarm, r.c.ConfigAlert, r.c.NetBaudAlarm, r.c.CommDelayAlarm,
        r.c.Ana12Alarm, r.c.Ana8Alarm,   r.c.PWMAlarm,     r.c.IODirAlarm};
    for (Light* l : all) l->setColour(colours::Sent);
    const int queued = r.s.Commands.occupied();
    QTest::keyClick(r.c.ModName, Qt::Key_X);
    for (Light* l : all) QVERIFY2(l->colour() == colours::Unsent, qPrintable(l->objectName()));
    QCOMPARE(r.s.Commands.occupied(), queued);
  }

  void sendQueuesTheTypedTextOnlyWhileAPortIsOpen() {
    Rig r;
    r.s.Commands.clear();
    r.c.DataSent->setText("QI");
    r.form.Send_Click();
    QCOMPARE(r.s.Commands.occupied(), 0);
    r.choose(0);
    r.c.DataSent->setText(" qc  ");
    r.c.Send->click();
    QCOMPARE(r.s.Commands.slot(0), QString(" qc  "));  // exactly as typed
    r.form.Timer2_Timer();
    // Send again with what the box now shows: the same command once more.
    r.c.Send->click();
    QCOMPARE(r.s.Commands.slot(0), QString(" qc  "));
  }
};

QTEST_MAIN(PortSelection)
#include "tst_port_selection.moc"
