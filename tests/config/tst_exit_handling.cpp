// Done and the window's close button: which questions, and what each answer does.
#include <QGroupBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include "colours.h"
#include "fakes.h"
#include "light.h"

namespace {
// A port open, a configuration reply with the 8-bit limits and the port lines
// on show, and every visible group green.
void allSent(Rig& r) {
  r.openAndDrain();
  r.form.ConfigReply("C:0080");
  for (Light* l : {r.c.ConfigAlert, r.c.NetBaudAlarm, r.c.ModIDAlarm, r.c.CommDelayAlarm,
                   r.c.IODirAlarm, r.c.Ana8Alarm}) {
    l->setColour(colours::Sent);
  }
}
}  // namespace

class ExitHandling : public QObject {
  Q_OBJECT

 private slots:
  void allParametersSentCountsOnlyVisibleFeatureGroups() {
    Rig r;
    QVERIFY(!r.form.AllParametersSent());  // no port: the name group is hidden
    allSent(r);
    QVERIFY(r.form.AllParametersSent());
    QVERIFY(r.c.Analog12Lim->isHidden());
    QCOMPARE(r.c.Ana12Alarm->colour(), colours::Unsent);  // hidden, so it does not count
    for (Light* l : {r.c.ConfigAlert, r.c.NetBaudAlarm, r.c.ModIDAlarm, r.c.CommDelayAlarm,
                     r.c.IODirAlarm, r.c.Ana8Alarm}) {
      l->setColour(colours::Unsent);
      QVERIFY2(!r.form.AllParametersSent(), qPrintable(l->objectName()));
      l->setColour(colours::Fault);  // anything but orange counts as sent
      QVERIFY(r.form.AllParametersSent());
    }
  }

  void doneWithoutPortEndsAtOnce() {
    Rig r;
    r.form.Done_Click();
    QCOMPARE(r.exit.ends, 1);
    QVERIFY(r.boxes.shown.empty());
    QVERIFY(r.lib.calls.isEmpty());
    QVERIFY(!r.c.Timer2->isActive());
  }

  void doneAsksTheOneQuestionThatApplies_data() {
    QTest::addColumn<bool>("everythingSent");
    QTest::addColumn<bool>("saved");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<QString>("question");
    QTest::addColumn<bool>("ends");
    const QString notSent = "All Parameters have NOT been sent.  Exit anyway?";
    const QString notSaved = "All Parameters have NOT been Saved.  Exit anyway?";
    QTest::newRow("unsent, Yes") << false << true << true << notSent << true;
    QTest::newRow("unsent, No") << false << true << false << notSent << false;
    QTest::newRow("unsent and unsaved: one question") << false << false << true << notSent << true;
    QTest::newRow("unsaved, Yes") << true << false << true << notSaved << true;
    QTest::newRow("unsaved, No") << true << false << false << notSaved << false;
    QTest::newRow("sent and saved") << true << true << true << QString() << true;
  }
  void doneAsksTheOneQuestionThatApplies() {
    QFETCH(bool, everythingSent);
    QFETCH(bool, saved);
    QFETCH(bool, answer);
    QFETCH(QString, question);
    QFETCH(bool, ends);
    Rig r;
    allSent(r);
    if (!everythingSent) r.c.ModIDAlarm->setColour(colours::Unsent);
    r.s.ParamsSaved = saved;
    r.s.NextCommand = "SP 3E8 1F4";
    r.form.QueueCommand();
    r.boxes.answers = {answer};
    r.form.Done_Click();
    if (question.isEmpty()) {
      QVERIFY(r.boxes.shown.empty());
    } else {
      QCOMPARE(r.boxes.shown.size(), size_t{1});
      QCOMPARE(r.boxes.shown[0].kind, QString("yesNo"));
      QCOMPARE(r.boxes.shown[0].title, QString("Done"));
      QCOMPARE(r.boxes.shown[0].text, question);
    }
    QCOMPARE(r.exit.ends, ends ? 1 : 0);
    QCOMPARE(r.lib.calls, ends ? QStringList{"close"} : QStringList{});
    if (ends) {
      // Nothing more goes out, not even the command still queued.
      QVERIFY(!r.c.Timer2->isActive());
      QVERIFY(r.lib.sent().isEmpty());
    } else {
      r.form.Timer2_Timer();  // the cycle goes on
      QCOMPARE(r.lib.sent(), QStringList{"SP 3E8 1F4"});
    }
  }

  void closingTheWindowRunsTheSameChecks() {
    Rig r;
    allSent(r);
    r.form.show();
    r.c.ModIDAlarm->setColour(colours::Unsent);
    r.boxes.answers = {false};
    QVERIFY(!r.form.close());
    QVERIFY(r.form.isVisible());
    QCOMPARE(r.exit.ends, 0);
    QVERIFY(r.lib.calls.isEmpty());

    r.boxes.answers = {true};
    QVERIFY(r.form.close());
    QCOMPARE(r.exit.ends, 1);
    QCOMPARE(r.lib.calls, QStringList{"close"});
    QVERIFY(!r.c.Timer2->isActive());
  }
};

QTEST_MAIN(ExitHandling)
#include "tst_exit_handling.moc"
