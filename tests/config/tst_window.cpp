// SPDX-License-Identifier: MIT
// The window as it starts and loading the device library by path: nothing
// at start-up, each export at its first call, and a message and status 1 when
// a file or export is missing. Choosing the port and why it fails, renaming,
// sending typed text, and leaving the program.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QToolTip>
#include <QtTest>

#include "colours.h"
#include "dynamic_library.h"
#include "fakes.h"
#include "file_chooser.h"
#include "light.h"
#include "port_failure.h"
#include "qt_message_boxes.h"

namespace {
// Which of NetBaudRate, ModID, CommDelay, PortDir, Send, UpdateConfig are on
// show: "111011" while a port is open, before any configuration reply.
QString portLook(const TopFormControls& c) {
  QString look;
  for (QWidget* w : std::initializer_list<QWidget*>{c.NetBaudRate, c.ModID, c.CommDelay, c.PortDir})
    look += w->isHidden() ? '0' : '1';
  return look + (c.Send->isEnabled() ? '1' : '0') + (c.UpdateConfig->isEnabled() ? '1' : '0') +
         (c.ComSel[0]->isChecked() ? "c" : "");
}

// A port open, a reply offering the 8-bit limits and the port lines, and every
// group green but the hidden 12-bit one.
void allSent(Rig& r) {
  r.openAndDrain();
  r.form.ConfigReply("C:0080");
  for (const SettingsGroup& g : settingsGroups(r.c)) g.alarm->setColour(colours::Sent);
  r.c.Ana12Alarm->setColour(colours::Unsent);
}
}  // namespace

class Window : public QObject {
  Q_OBJECT

 private slots:
  void startsWithOneQueryAndNothingOpenAndNeedsTheLibraryOnlyForAPort() {
    QCOMPARE(DynamicLibrary::defaultPath(),
             QCoreApplication::applicationDirPath() + "/../lib/libbrimtally.so.1");
    FakeBoxes boxes;
    FakeExit exit;
    SystemClock clock;
    DynamicLibrary lib("/nonexistent/libbrimtally.so.1", boxes, exit);
    TopForm form(Services{lib, boxes, exit, clock});
    const auto& c = form.controls();
    QCOMPARE(form.state().Commands.slot(0) + QString::number(form.state().Commands.occupied()),
             "QC1");
    QVERIFY(c.Timer2->isActive() && c.Timer2->interval() == 400);
    QVERIFY(!c.Send->isEnabled() && !c.UpdateConfig->isEnabled() && !c.PrintButton->isEnabled());
    for (QGroupBox* f : form.findChildren<QGroupBox*>()) {
      QCOMPARE(f->isHidden(), f != c.Communications);
    }
    for (Light* l : form.findChildren<Light*>()) {
      const bool grey = l == c.ComOK || l->objectName().startsWith("ConfigBit");
      QCOMPARE(l->colour(), grey ? colours::Clear : colours::Unsent);
    }
    QCOMPARE(c.ComDlyTxt->text() + c.PWMPeriod->text() + c.PWMPct->text() + c.LLim[3]->text() +
                 c.HLim[3]->text() + c.HLim12[1]->text() + c.NetBaud->currentText(),
             QString("5010005002554095  9600"));
    // The design's texts are hints, not contents; the reply cannot be edited.
    QCOMPARE(c.DataSent->text() + c.Reply->text() + c.DLLVER->text(), QString());
    QVERIFY(c.Reply->isReadOnly() && c.DataSent->placeholderText() == "Data Sent");
    for (int n = 0; n < 16; ++n) {  // bit 15 at the top; reserved bits cannot be asked for
      QCOMPARE(c.ConfigReq[n]->isEnabled(), n != 10 && n != 11 && n != 14 && n != 15);
      if (n > 0) QVERIFY(c.ConfigReq[n]->y() < c.ConfigReq[n - 1]->y());
    }
    form.Timer2_Timer();  // start-up and a tick never touch the library
    QVERIFY(!lib.loaded() && boxes.shown.isEmpty());
    QVERIFY_THROWS_EXCEPTION(ProgramFailed, form.ComSel_Click(0));
    QCOMPARE(boxes.shown.size(), 1);
    QVERIFY2(boxes.shown[0].startsWith("ok||/nonexistent/libbrimtally.so.1: cannot open"),
             qPrintable(boxes.shown[0]));
    // A file with one export: found, then the missing one ends the program.
    DynamicLibrary partial(PARTIAL_LIBRARY, boxes, exit);
    QCOMPARE(partial.btPortOpen(2, 9600) + partial.btPortOpen(1, 300), 2096 + 1003);
    QVERIFY_THROWS_EXCEPTION(ProgramFailed, partial.btPortClose());
    QVERIFY2(boxes.shown.value(1).contains("btPortClose"), qPrintable(boxes.shown.join('\n')));
  }

  void choosingPortsOpensClosesAndReopensAfterAnError() {
    Rig r;
    r.choose(0);
    QCOMPARE(r.lib.calls, (QStringList{"open 1 9600", "init"}));
    QCOMPARE(r.s.DeviceRec.ReplyTimeout, 30);
    QCOMPARE(portLook(r.c), QString("111011c"));      // "c": Com1 shows as chosen
    r.lib.reads = {{0, {}}, {0, {}}, {6, "C:0084"}};  // 8-bit limits, PWM, port lines
    r.ticks(3);
    r.s.NextCommand = "X";
    r.form.QueueCommand();
    r.lib.calls.clear();
    r.choose(0);  // the option already chosen, on a working line: nothing happens
    QVERIFY(r.lib.calls.isEmpty());
    r.lib.openResult[2] = BT_OPEN_FAILED;
    r.choose(1);
    r.choose(0);
    r.lib.reads = {{BT_READ_ERROR, {}}, {BT_READ_ERROR, {}}};
    r.ticks(2);  // the device fails; choosing its option again reopens it
    r.choose(0);
    r.lib.reads = {{0, {}}, {0, {}}, {0, {}}, {6, "C:0084"}};
    r.ticks(4);
    QCOMPARE(r.lib.calls.filter(QRegularExpression("^(open|close|init|xmit)")),
             (QStringList{"close", "open 2 9600", "open 1 9600", "init", "xmit X", "close",
                          "open 1 9600", "init", "xmit QC"}));
    // The frames follow the module now on the line, the port lines included.
    QCOMPARE(portLook(r.c) + (r.c.PWMDefaults->isHidden() ? "" : "P"), QString("111111cP"));
    QCOMPARE(r.boxes.shown.size() + r.exit.ends, 1);
  }

  void failedOpenOrSetUpSaysWhyAndLeavesNoPortChosen() {
    const QString cannotOpen = "ok||Can Not Open Comm Port\nNo such device: /nonexistent/tty";
    const QString cannotInit = "ok||Can Not Initialize Data Structure";
    struct Case {
      bool openedBefore, setUpFails;
      QStringList calls;
      QString message;
    };
    for (const Case& k : {Case{false, false, {"open 2 9600"}, cannotOpen},
                          {true, false, {"close", "open 2 9600"}, cannotOpen},
                          {false, true, {"open 2 9600", "init", "close"}, cannotInit}}) {
      Rig r;
      r.lib.devices[2] = "/nonexistent/tty";
      if (k.openedBefore) {
        r.openAndDrain();
        r.form.ConfigReply("C:0000");  // shows PortDir
      }
      (k.setUpFails ? r.lib.initStatus : r.lib.openResult[2]) = k.setUpFails ? 8 : BT_OPEN_FAILED;
      r.choose(1);
      QCOMPARE(r.lib.calls, k.calls);
      QCOMPARE(r.boxes.shown, QStringList{k.message});
      QVERIFY(r.s.ComPort == 0 && r.s.PortOpen == 0 && portLook(r.c) == "000000");
      r.lib.calls.clear();
      r.ticks(3);
      QVERIFY(r.lib.calls.isEmpty());  // no traffic on a port that is not there
      QVERIFY(!r.c.PrintButton->isEnabled());
      r.lib.openResult.clear();  // the same option can be chosen again to retry
      r.lib.initStatus = 0;
      r.choose(1);
      QCOMPARE(r.s.PortOpen, 1);
    }
  }

  // The reason found on the device itself, as the driver would meet it.
  void portFailureNamesTheReason() {
    FakeLibrary lib;
    QTemporaryDir dir;
    const QString file = dir.filePath("plain");
    QVERIFY(QFile(file).open(QIODevice::WriteOnly));
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    QVERIFY(master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0);
    const QString held = ptsname(master);
    const int holder = open(ptsname(master), O_RDWR | O_NOCTTY);
    QVERIFY(holder >= 0 && flock(holder, LOCK_EX | LOCK_NB) == 0);
    for (auto [device, reason] :
         {std::pair{file, "Not a serial device: " + file},
          std::pair{held, "In use by another program: " + held},
          std::pair{held + "?echo", "In use by another program: " + held},
          std::pair{held + "?ecko",
                    "Invalid port option in " + held + "?ecko: unknown port option"},
          std::pair{dir.filePath("gone"), "No such device: " + dir.path()},
          std::pair{QString("tcp://127.0.0.1:1"), QString("The serial device server did not")}}) {
      lib.devices[1] = device.toLocal8Bit();
      QVERIFY2(portOpenFailure(lib, 1).startsWith(reason), qPrintable(portOpenFailure(lib, 1)));
    }
    close(holder);
    close(master);
  }

  // Printable ASCII only: other text is refused as it is typed, and a text
  // put in by other means is not sent, renamed to, or altered.
  void renameAndSendTakeOnlyWhatTheModuleReads() {
    Rig r;
    r.form.show();
    r.s.VersionPending = false;
    r.s.ParamsSaved = true;
    r.choose(0);
    r.c.Send->click();  // the design's "Data Sent" is no command
    r.ticks(2);
    for (QLineEdit* box : {r.c.ModName, r.c.DataSent}) {
      box->clear();
      box->setFocus();
      for (QChar key : QString::fromUtf8("Pü mp日"))
        QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, QString(key), {});
      QCOMPARE(box->text(), QString("P mp"));
      QVERIFY(QToolTip::text().contains("printable ASCII"));
    }
    r.c.Send->click();
    r.c.SelMod->click();
    r.c.ModName->setText(QString::fromUtf8("Pümpe"));
    r.c.DataSent->setText(QString::fromUtf8("QC日本é"));
    r.c.Send->click();
    r.c.SelMod->click();
    QCOMPARE(r.s.Commands.slot(0) + "|" + r.s.Commands.slot(1) + "|" + r.s.Commands.slot(2),
             QString("P mp|A P mp|QC"));
    QVERIFY(r.s.Commands.occupied() == 3 && r.s.VersionPending && !r.s.ParamsSaved);
  }

  void doneAndTheWindowFrameAskTheOneQuestionThatApplies() {
    Rig idle;  // no port: the name group is hidden, so not sent, whatever its light
    for (Light* l : idle.form.findChildren<Light*>()) l->setColour(colours::Sent);
    QVERIFY(!idle.form.AllParametersSent());
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
        QCOMPARE(r.exit.ends == 1 && !r.form.isVisible(), k.ends);
        QCOMPARE(r.lib.calls, k.ends && k.port ? QStringList{"close"} : QStringList{});
        r.form.Timer2_Timer();  // after an end nothing more goes out
        QCOMPARE(r.lib.sent(), k.ends ? QStringList{} : QStringList{"SP 3E8 1F4"});
      }
    }
    // Enter answers No to a real question that loses work.
    QTimer::singleShot(0, [] {
      QTRY_VERIFY(QApplication::activeModalWidget());
      QTest::keyClick(QApplication::activeModalWidget(), Qt::Key_Return);
    });
    QVERIFY(!QtMessageBoxes().yesNo(notSent.section('|', 2), "Done"));
  }

  // In the main window with every frame shown and in the file chooser: no
  // control overlaps another or leaves its parent.
  void nothingOverlapsOrLeavesItsParent() {
    Rig r;
    for (QGroupBox* f : r.form.findChildren<QGroupBox*>()) f->show();
    PickFile chooser(r.s, {"/"});
    for (QWidget* window : QList<QWidget*>{&r.form, &chooser}) {
      window->show();
      QVERIFY(QTest::qWaitForWindowExposed(window));
      QList<QWidget*> parents = window->findChildren<QWidget*>();
      parents << window;
      for (QWidget* parent : parents) {
        const auto kids = parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        for (int i = 0; i < kids.size(); ++i) {
          if (!kids[i]->isVisible() || kids[i]->isWindow()) continue;
          const QRect a = kids[i]->geometry();
          QVERIFY2(parent->rect().contains(a), qPrintable(kids[i]->objectName()));
          for (int j = i + 1; j < kids.size(); ++j) {
            QVERIFY2(
                !kids[j]->isVisible() || kids[j]->isWindow() || !a.intersects(kids[j]->geometry()),
                qPrintable(kids[i]->objectName() + " overlaps " + kids[j]->objectName()));
          }
        }
      }
    }
  }
};

QTEST_MAIN(Window)
#include "tst_window.moc"
