// The command buffer and the 400 ms cycle: when commands leave, what a reply
// does, and the communication status left on show.
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include "colours.h"
#include "config_word.h"
#include "fakes.h"
#include "light.h"

class PollingCycle : public QObject {
  Q_OBJECT

 private slots:
  void queueFillsLowestFreeSlotAndSendsLowestOccupied() {
    Rig r;
    r.s.Commands.clear();
    r.s.Commands.slot(2) = "X2";
    r.s.Commands.slot(5) = "X5";
    r.choose(0);
    r.form.Timer2_Timer();
    r.s.NextCommand = "NEW";
    r.form.QueueCommand();
    QCOMPARE(r.s.Commands.slot(0), QString("NEW"));
    r.ticks(4);
    QCOMPARE(r.lib.sent(), (QStringList{"X2", "NEW", "X5"}));
  }

  void ninthCommandIsDroppedWhateverTheAnswer() {
    for (bool answer : {true, false}) {
      Rig r;
      for (int i = 1; i < 9; ++i) {
        r.s.NextCommand = QString("C%1").arg(i);
        if (i == 8) r.boxes.answers = {answer};
        r.form.QueueCommand();
      }
      QCOMPARE(r.boxes.shown,
               QStringList{"okCancel||Not enough room in the Command Buffer.  Go SLOWER!!"});
      QCOMPARE(r.s.Commands.slot(0), QString("QC"));
      QCOMPARE(r.s.Commands.slot(7), QString("C7"));
    }
  }

  void commandsLeaveEverySecondTickWithTheirCrAndEveryTickReads() {
    Rig r;
    r.s.NextCommand = "A";
    r.form.QueueCommand();
    r.s.PrintFlag = 1;
    r.ticks(2);  // no port: nothing but the grey light and the report request
    QVERIFY(r.lib.calls.isEmpty());
    QCOMPARE(r.s.PrintFlag, 0);
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
    r.c.DataSent->setText(QString(150, 'X'));  // the longest typed command keeps its CR
    r.c.Send->click();
    r.form.Timer2_Timer();
    QCOMPARE(r.lib.lastMessage.indexOf('\r'), 98);
  }

  void replyIsClassified() {
    struct Case {
      const char* reply;
      bool config, banner, nameGreen;
    };
    for (const Case k : {Case{"C:0083", true, false, false},
                         {"C:0083 Pump>", true, false, false},
                         {"c:0083", false, false, false},
                         {"Brimtally V01", false, true, false},
                         {"BRIMTALLY V01", false, false, false},
                         {"Pump>", false, false, true},
                         {"PUMP>", false, false, false}}) {
      Rig r;
      r.c.ModName->setText("Pump");
      r.openAndDrain();
      r.lib.reply(k.reply);
      r.form.Timer2_Timer();
      QCOMPARE(r.c.Reply->text(), QString(k.reply));
      QVERIFY2((r.c.ConfigAlert->colour() == colours::Sent) == k.config, k.reply);
      QVERIFY2((r.c.Brim->text() == k.reply) == k.banner && r.s.VersionPending != k.banner,
               k.reply);
      QVERIFY2((r.c.ModIDAlarm->colour() == colours::Sent) == k.nameGreen, k.reply);
    }
  }

  void statusShowsStatusAndFailedReads() {
    Rig r;
    r.c.ModName->setText("Pump");
    r.openAndDrain();
    const auto shows = [&r](uint32_t light, const char* status, const char* version) {
      return r.c.ComOK->colour() == light && r.c.CommEstab->text() == status &&
             r.c.DLLVER->text() == version;
    };
    r.form.Timer2_Timer();  // nothing arrived: still a good link
    QVERIFY(shows(colours::Sent, "Communications OK", BT_DLL_VERSION));
    QVERIFY(r.c.PrintButton->isEnabled());
    r.lib.statusAfterRead = 1;
    r.form.Timer2_Timer();
    QVERIFY(shows(colours::Fault, "Communications Errors", "DLL Version Unknown"));
    r.lib.statusAfterRead = 0;
    // A failed read is an error, and the last reply is not shown or acted on again.
    r.lib.reply("Pump>");
    r.lib.reads.push_back({BT_READ_ERROR, {}});
    r.form.Timer2_Timer();
    r.c.ModIDAlarm->setColour(colours::Unsent);
    r.c.Reply->clear();
    r.form.Timer2_Timer();
    QVERIFY(shows(colours::Fault, "Communications Errors", "DLL Version Unknown"));
    QCOMPARE(r.c.Reply->text(), QString());
    QCOMPARE(r.c.ModIDAlarm->colour(), colours::Unsent);
    r.form.Timer2_Timer();
    QVERIFY(shows(colours::Sent, "Communications OK", BT_DLL_VERSION));
  }

  void configWordIsRead() {
    const std::pair<const char*, int32_t> cases[] = {
        {"0083", 0x83},
        {"", 0},
        {"12 xyz", 0x12},
        {" 1A\t3\nF", 0x1A3F},
        {"FFFF", -1},
        {"8000", -32768},
        {"0ffff", -1},
        {"FFFF8083", int32_t(0xFFFF8083)},
        {"123456789", 0x12345678}};  // at most eight digits
    for (auto [digits, word] : cases) QCOMPARE(parseConfigWord(digits), word);
  }

  // frames: shown of 8-bit (8), 12-bit (T), PWM (P), port lines (D);
  // lines: DDir(7)..DDir(0), lower case when locked.
  void configReplySetsLightsFramesAndPortLines_data() {
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("frames");
    QTest::addColumn<QString>("lines");
    const char* const rows[][3] = {{"C:0083", "8--D", "OOOOoooo"}, {"C:0208", "---D", "OOOOOOOi"},
                                   {"C:0280", "8--D", "OOOOoooo"}, {"C:0044", "-TPD", "ooooOOOO"},
                                   {"C:2000", "----", ""},         {"C:0010", "----", ""},
                                   {"C:FFFF", "8TP-", ""},         {"C:", "---D", "OOOOOOOO"}};
    for (auto& row : rows)
      QTest::newRow(row[0]) << QString(row[0]) << QString(row[1]) << QString(row[2]);
  }
  void configReplySetsLightsFramesAndPortLines() {
    QFETCH(QString, reply);
    QFETCH(QString, frames);
    QFETCH(QString, lines);
    Rig r;
    r.openAndDrain();
    r.form.ConfigReply("C:FFFF");  // an earlier reply and an operator's choice
    r.c.DDir[5]->setText("I");
    r.lib.reply(reply);
    r.form.Timer2_Timer();
    QCOMPARE(r.s.ConfigWord, parseConfigWord(reply.mid(2)));
    for (int n = 0; n < 16; ++n) {
      QCOMPARE(r.c.ConfigBit[n]->colour(),
               (r.s.ConfigWord >> n) & 1 ? colours::Sent : colours::Clear);
    }
    QString shown;
    for (auto [frame, mark] : {std::pair{r.c.Analog8Lim, '8'}, std::pair{r.c.Analog12Lim, 'T'},
                               std::pair{r.c.PWMDefaults, 'P'}, std::pair{r.c.PortDir, 'D'}}) {
      shown += frame->isHidden() ? '-' : mark;
    }
    QCOMPARE(shown, frames);
    QString got;
    for (int i = 7; i >= 0 && !r.c.PortDir->isHidden(); --i) {
      got += r.c.DDir[i]->isEnabled() ? r.c.DDir[i]->text() : r.c.DDir[i]->text().toLower();
    }
    QCOMPARE(got, lines);
    QCOMPARE(r.c.IODirAlarm->colour(), colours::Unsent);
  }
};

QTEST_MAIN(PollingCycle)
#include "tst_polling_cycle.moc"
