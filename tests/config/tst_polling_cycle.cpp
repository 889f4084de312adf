// SPDX-License-Identifier: MIT
// The command buffer and the 400 ms cycle: when commands leave, what a reply
// does and what stays on show, and the communication status.
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include "colours.h"
#include "config_word.h"
#include "light.h"
#include "script.h"

class PollingCycle : public QObject {
  Q_OBJECT

 private slots:
  // Not a ring: the lowest free slot is filled, the lowest occupied sent.
  void queueFillsLowestFreeSlotAndSendsLowestOccupied() {
    Rig r;
    r.s.Commands.clear();
    r.s.Commands.slot(2) = "X2";
    r.s.Commands.slot(5) = "X5";
    r.choose(0);  // queues "QC" into slot 0
    r.ticks(2);
    r.s.NextCommand = "NEW";
    r.form.QueueCommand();
    r.ticks(4);
    QCOMPARE(r.lib.sent(), (QStringList{"QC", "NEW", "X2"}));
  }

  void commandsLeaveEverySecondTickWithTheirCrAndEveryTickReads() {
    Rig r;
    run(r, "DataSent=Z;Send");  // typed text is taken only while a port is open
    r.s.NextCommand = "A";
    r.form.QueueCommand();
    r.s.PrintFlag = 1;
    r.ticks(2);  // no port: nothing but the grey light and the report request
    QVERIFY(r.lib.calls.isEmpty() && r.s.PrintFlag == 0);
    r.choose(0);
    r.lib.calls.clear();
    r.ticks(3);
    r.s.NextCommand = "B";  // queued while the cycle waits for a reply
    r.form.QueueCommand();
    r.ticks(3);
    QCOMPARE(r.lib.calls, (QStringList{"xmit QC", "read", "read", "xmit A", "read", "read",
                                       "xmit B", "read", "read"}));
    QCOMPARE(r.lib.lastMessage.left(3), QByteArray("B\r\0", 3));
    QCOMPARE(r.c.DataSent->text(), QString("B"));
    run(r, "DataSent=" + QString(150, 'X') + ";Send");  // the longest command keeps its CR
    r.form.Timer2_Timer();
    QCOMPARE(r.lib.lastMessage.indexOf('\r'), 98);
  }

  // The lines read (and commands sent) by `script`; the line Reply shows; the
  // reply taken as configuration, banner, or a prompt naming the module.
  void replyIsClassifiedAndAnAnswerStaysOnShow_data() {
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("taken");
    const char* const rows[][3] = {
        {"<<C:0083", "C:0083", "config"},
        {"<<C:0083 Pump>", "C:0083 Pump>", "config"},
        {"<<c:0083", "c:0083", ""},
        {"<<Brimtally V01", "Brimtally V01", "banner"},
        {"<<BRIMTALLY V01", "BRIMTALLY V01", ""},
        {"<<Pump>", "Pump>", "name"},
        {"<<PUMP>", "PUMP>", ""},
        // The prompt that closes an answer leaves the answer on show.
        {"<<Error: name too long;<<Pump>", "Error: name too long", "name"},
        {"<<Error: bad;<<Pump>;DataSent=QC;Send;<<Pump>", "Pump>", "name"},
    };
    for (auto& row : rows) QTest::newRow(row[0]) << row[0] << row[1] << row[2];
  }
  void replyIsClassifiedAndAnAnswerStaysOnShow() {
    QFETCH(QString, script);
    QFETCH(QString, shown);
    QFETCH(QString, taken);
    Rig r;
    r.c.ModName->setText("Pump");
    r.openAndDrain();
    run(r, script);
    QCOMPARE(r.c.Reply->text(), shown);
    QCOMPARE(r.c.ConfigAlert->colour() == colours::Sent, taken == "config");
    QCOMPARE(r.c.Brim->text().startsWith("Brimtally") && !r.s.VersionPending, taken == "banner");
    QCOMPARE(r.c.ModIDAlarm->colour() == colours::Sent, taken == "name");
  }

  void statusShowsStatusAndFailedReads() {
    Rig r;
    r.c.ModName->setText("Pump");
    r.openAndDrain();
    const auto shows = [&r](bool good) {
      return r.c.ComOK->colour() == (good ? colours::Sent : colours::Fault) &&
             r.c.CommEstab->text() == (good ? "Communications OK" : "Communications Errors") &&
             r.c.DLLVER->text() == (good ? BT_DLL_VERSION : "DLL Version Unknown");
    };
    r.form.Timer2_Timer();  // nothing arrived: still a good link
    QVERIFY(shows(true) && r.c.PrintButton->isEnabled());
    r.lib.statusAfterRead = 1;
    r.form.Timer2_Timer();
    QVERIFY(shows(false));
    r.lib.statusAfterRead = 0;
    r.form.Timer2_Timer();
    QVERIFY(shows(true));
  }

  void configWordIsRead() {
    const std::pair<const char*, int32_t> cases[] = {
        {" 1A\t3\nF", 0x1A3F}, {"8000 x", -32768}, {"123456789", 0x12345678}};  // 8 digits at most
    for (auto [digits, word] : cases) QCOMPARE(parseConfigWord(digits), word);
  }

  // The bits lit; the frames shown of 8-bit (8), 12-bit (T), PWM (P), port
  // lines (D); and DDir(7)..DDir(0), lower case when locked.
  void configReplySetsLightsFramesAndPortLines() {
    const char* const rows[][3] = {{"C:0083", "8--D", "OOOOoooo"}, {"C:0208", "---D", "OOOOOOOi"},
                                   {"C:0280", "8--D", "OOOOoooo"}, {"C:0044", "-TPD", "ooooOOOO"},
                                   {"C:2000", "----", ""},         {"C:0010", "----", ""},
                                   {"C:FFFF", "8TP-", ""},         {"C:", "---D", "OOOOOOOO"}};
    for (auto [reply, frames, lines] : rows) {
      Rig r;
      r.openAndDrain();
      r.form.ConfigReply("C:FFFF");  // an earlier reply and an operator's choice
      r.c.DDir[5]->setText("I");
      run(r, QString("<<") + reply);
      QString got;
      for (int n = 15; n >= 0; --n) got += r.c.ConfigBit[n]->colour() == colours::Sent ? '1' : '0';
      QCOMPARE(got.toUInt(nullptr, 2), QString(reply).mid(2).toUInt(nullptr, 16));
      got.clear();
      for (auto [frame, mark] : {std::pair{r.c.Analog8Lim, '8'}, std::pair{r.c.Analog12Lim, 'T'},
                                 std::pair{r.c.PWMDefaults, 'P'}, std::pair{r.c.PortDir, 'D'}}) {
        got += frame->isHidden() ? '-' : mark;
      }
      for (int i = 7; i >= 0 && !r.c.PortDir->isHidden(); --i) {
        got += r.c.DDir[i]->isEnabled() ? r.c.DDir[i]->text() : r.c.DDir[i]->text().toLower();
      }
      QCOMPARE(got, QString(frames) + lines);
      QCOMPARE(r.c.IODirAlarm->colour(), colours::Unsent);
    }
  }
};

QTEST_MAIN(PollingCycle)
#include "tst_polling_cycle.moc"
