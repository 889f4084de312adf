// The 400 ms cycle: when commands leave, what a reply does, and the
// communication status it leaves on show.
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
  void commandsLeaveEverySecondTickAndEveryTickReads() {
    Rig r;
    r.s.NextCommand = "A";
    r.form.QueueCommand();
    r.s.NextCommand = "B";
    r.form.QueueCommand();
    r.choose(0);
    QCOMPARE(r.lib.calls, (QStringList{"open 1 9600", "init"}));
    r.lib.calls.clear();
    r.ticks(5);
    QCOMPARE(r.lib.calls,
             (QStringList{"xmit QC", "read", "read", "xmit A", "read", "read", "xmit B", "read"}));
    QVERIFY(r.s.Commands.firstOccupied() == std::nullopt);
    // A command queued while the cycle waits for a reply waits with it.
    r.s.NextCommand = "C";
    r.form.QueueCommand();
    r.form.Timer2_Timer();
    QCOMPARE(r.lib.sent().last(), QString("B"));
    r.form.Timer2_Timer();
    QCOMPARE(r.lib.sent().last(), QString("C"));
  }

  void sentCommandEndsWithCrAndShowsInDataSent() {
    Rig r;
    r.openAndDrain();
    r.c.DataSent->setText("SP 3E8 1F4");
    r.c.Send->click();
    r.form.Timer2_Timer();
    QCOMPARE(r.lib.lastMessage.left(12), QByteArray("SP 3E8 1F4\r\0", 12));
    QCOMPARE(r.c.DataSent->text(), QString("SP 3E8 1F4"));
    // A rename's text is written into DataSent as it goes out, too.
    r.c.ModName->setText("Pump");
    r.c.SelMod->click();
    r.ticks(2);
    QCOMPARE(r.c.DataSent->text(), QString("A Pump"));
  }

  void longestTypedCommandStillLeavesWithItsCr() {
    Rig r;
    r.openAndDrain();
    r.c.DataSent->setText(QString(150, 'X'));
    QCOMPARE(r.c.DataSent->text().size(), 98);
    r.c.Send->click();
    r.form.Timer2_Timer();
    QCOMPARE(r.lib.lastMessage.indexOf('\r'), 98);
    QCOMPARE(r.lib.lastMessage.at(99), '\0');
  }

  void replyIsClassified_data() {
    QTest::addColumn<QString>("reply");
    QTest::addColumn<bool>("config");
    QTest::addColumn<bool>("banner");
    QTest::addColumn<uint>("nameLight");
    QTest::newRow("configuration") << "C:0083" << true << false << uint(colours::Unsent);
    QTest::newRow("configuration ending in >")
        << "C:0083 Pump>" << true << false << uint(colours::Unsent);
    QTest::newRow("lower-case c") << "c:0083" << false << false << uint(colours::Unsent);
    QTest::newRow("banner") << "Brimtally V01-02" << false << true << uint(colours::Unsent);
    QTest::newRow("banner needs exact case")
        << "brimtally V01" << false << false << uint(colours::Unsent);
    QTest::newRow("own prompt") << "Pump>" << false << false << uint(colours::Sent);
    QTest::newRow("prompt in other case") << "PUMP>" << false << false << uint(colours::Unsent);
    QTest::newRow("other prompt") << "Valve>" << false << false << uint(colours::Unsent);
    QTest::newRow("anything else") << "OK" << false << false << uint(colours::Sent);
  }
  void replyIsClassified() {
    QFETCH(QString, reply);
    QFETCH(bool, config);
    QFETCH(bool, banner);
    QFETCH(uint, nameLight);
    Rig r;
    r.c.ModName->setText("Pump");
    r.openAndDrain();
    // "anything else" must leave a green name light green.
    if (reply == "OK") r.c.ModIDAlarm->setColour(colours::Sent);
    r.lib.reply(reply);
    r.form.Timer2_Timer();
    QCOMPARE(r.c.Reply->text(), reply);
    QCOMPARE(r.c.ConfigAlert->colour() == colours::Sent, config);
    QCOMPARE(r.c.Analog8Lim->isHidden(), !config);
    QCOMPARE(r.c.Brim->text(), banner ? reply : QString("Brimtally Version ???"));
    QCOMPARE(r.s.VersionPending, !banner);
    QCOMPARE(r.c.ModIDAlarm->colour(), nameLight);
  }

  void statusDisplayFollowsStatusAndReadErrors() {
    Rig r;
    r.openAndDrain();
    r.form.Timer2_Timer();  // nothing arrives: still a good link
    QCOMPARE(r.c.ComOK->colour(), colours::Sent);
    QCOMPARE(r.c.CommEstab->text(), QString("Communications OK"));
    QCOMPARE(r.c.DLLVER->text(), QString(BT_DLL_VERSION));
    QVERIFY(r.c.PrintButton->isEnabled());

    r.lib.statusAfterRead = 1;
    r.form.Timer2_Timer();
    QCOMPARE(r.c.ComOK->colour(), colours::Fault);
    QCOMPARE(r.c.CommEstab->text(), QString("Communications Errors"));
    QCOMPARE(r.c.DLLVER->text(), QString("DLL Version Unknown"));
    r.lib.statusAfterRead = 0;

    // A failed read shows as an error and the last reply is not acted on again.
    r.lib.reply("Pump>");
    r.c.ModName->setText("Pump");
    r.form.Timer2_Timer();
    QCOMPARE(r.c.ModIDAlarm->colour(), colours::Sent);
    r.c.ModIDAlarm->setColour(colours::Unsent);
    r.c.Reply->setText("typed over");
    r.lib.reads.push_back({BT_READ_ERROR, {}});
    r.form.Timer2_Timer();
    QCOMPARE(r.c.ComOK->colour(), colours::Fault);
    QCOMPARE(r.c.CommEstab->text(), QString("Communications Errors"));
    QCOMPARE(r.c.DLLVER->text(), QString("DLL Version Unknown"));
    QCOMPARE(r.c.Reply->text(), QString("typed over"));
    QCOMPARE(r.c.ModIDAlarm->colour(), colours::Unsent);

    // The next good read restores the display.
    r.form.Timer2_Timer();
    QCOMPARE(r.c.ComOK->colour(), colours::Sent);
    QCOMPARE(r.c.CommEstab->text(), QString("Communications OK"));
  }

  void configWordIsReadLikeTheModuleWritesIt_data() {
    QTest::addColumn<QString>("digits");
    QTest::addColumn<int>("word");
    QTest::newRow("plain") << "0083" << 0x83;
    QTest::newRow("no digits") << "" << 0;
    QTest::newRow("text after digits") << "12 xyz" << 0x12;
    QTest::newRow("blanks between digits") << " 1A 3F" << 0x1A3F;
    QTest::newRow("tab and line feed") << "\t1\n2" << 0x12;
    QTest::newRow("lower case") << "ff" << 0xFF;
    QTest::newRow("16-bit negative") << "FFFF" << -1;
    QTest::newRow("8000") << "8000" << -32768;
    QTest::newRow("five digits") << "1FFFF" << 0x1FFFF;
    QTest::newRow("value decides, not digit count") << "0FFFF" << -1;
    QTest::newRow("32-bit") << "FFFF8083" << int(0xFFFF8083);
    QTest::newRow("more than eight digits") << "123456789" << 0x12345678;
  }
  void configWordIsReadLikeTheModuleWritesIt() {
    QFETCH(QString, digits);
    QFETCH(int, word);
    QCOMPARE(parseConfigWord(digits), word);
  }

  void configReplySetsLightsFramesAndPortLines_data() {
    QTest::addColumn<QString>("reply");
    QTest::addColumn<bool>("a8");
    QTest::addColumn<bool>("a12");
    QTest::addColumn<bool>("pwm");
    QTest::addColumn<bool>("portDir");
    QTest::addColumn<QString>("lines");  // DDir(7)..DDir(0): O/I, lower case when disabled
    QTest::newRow("C:0083") << "C:0083" << true << false << false << true << "OOOOoooo";
    QTest::newRow("bits 3 and 9") << "C:0208" << false << false << false << true << "OOOOOOOi";
    QTest::newRow("bits 9 and 7") << "C:0280" << true << false << false << true << "OOOOoooo";
    QTest::newRow("bits 6 and 2") << "C:0044" << false << true << true << true << "ooooOOOO";
    QTest::newRow("keypad") << "C:2000" << false << false << false << false << "";
    QTest::newRow("printer") << "C:0010" << false << false << false << false << "";
    QTest::newRow("all") << "C:FFFF" << true << true << true << false << "";
    QTest::newRow("no digits") << "C:" << false << false << false << true << "OOOOOOOO";
  }
  void configReplySetsLightsFramesAndPortLines() {
    QFETCH(QString, reply);
    QFETCH(bool, a8);
    QFETCH(bool, a12);
    QFETCH(bool, pwm);
    QFETCH(bool, portDir);
    QFETCH(QString, lines);
    Rig r;
    r.openAndDrain();
    // Leftovers of an earlier reply and of the operator must not survive.
    r.form.ConfigReply("C:FFFF");
    r.c.DDir[5]->setText("I");
    r.lib.reply(reply);
    r.form.Timer2_Timer();
    const int32_t word = parseConfigWord(reply.mid(2));
    QCOMPARE(r.s.ConfigWord, word);
    QCOMPARE(r.c.ConfigAlert->colour(), colours::Sent);
    for (int n = 0; n < 16; ++n) {
      QCOMPARE(r.c.ConfigBit[n]->colour(), ((word >> n) & 1) ? colours::Sent : colours::Clear);
    }
    QCOMPARE(!r.c.Analog8Lim->isHidden(), a8);
    QCOMPARE(!r.c.Analog12Lim->isHidden(), a12);
    QCOMPARE(!r.c.PWMDefaults->isHidden(), pwm);
    QCOMPARE(!r.c.PortDir->isHidden(), portDir);
    if (portDir) {
      QString shown;
      for (int i = 7; i >= 0; --i) {
        const QString caption = r.c.DDir[i]->text();
        shown += r.c.DDir[i]->isEnabled() ? caption : caption.toLower();
      }
      QCOMPARE(shown, lines);
    }
    QCOMPARE(r.c.IODirAlarm->colour(), colours::Unsent);  // not touched
  }
};

QTEST_MAIN(PollingCycle)
#include "tst_polling_cycle.moc"
