// SPDX-License-Identifier: MIT
// The program under faults, against the real library and the real simulator:
// the device vanishing while it polls, and coming back.

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QtTest>

#include "colours.h"
#include "dynamic_library.h"
#include "fakes.h"
#include "light.h"
#include "sim_session.h"

namespace {

constexpr int kBound = 20000;  // generous: two cores, other builds beside us

// The window on the real library; message boxes and the program's end are
// recorded so the test sees them.
struct Program {
  FakeBoxes boxes;
  FakeExit exit;
  SystemClock clock;
  DynamicLibrary library{DynamicLibrary::defaultPath(), boxes, exit};
  TopForm form{Services{library, boxes, exit, clock}};
  const TopFormControls& c = form.controls();
  WindowState& s = form.state();
};

}  // namespace

class ProgramFaults : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    if (!QFile::exists(DynamicLibrary::defaultPath())) QSKIP("the library is not built");
  }

  void vanishedDeviceTurnsTheStatusRedUntilThePortIsChosenAgain() {
    bt_test::SimSession session{{"--config", "00C5"}};
    Program p;
    p.form.show();
    p.c.ComSel[0]->click();
    QCOMPARE(p.s.PortOpen, 1);
    QTRY_COMPARE_WITH_TIMEOUT(p.c.ConfigAlert->colour(), colours::Sent, kBound);
    QTRY_COMPARE_WITH_TIMEOUT(p.c.ComOK->colour(), colours::Sent, kBound);
    const QString lastReply = p.c.Reply->text();
    QCOMPARE(lastReply, QString("C:00C5"));

    QCOMPARE(session.sim().control("fault vanish"), std::string("ok vanish"));
    QTRY_COMPARE_WITH_TIMEOUT(p.c.ComOK->colour(), colours::Fault, kBound);
    QCOMPARE(p.c.CommEstab->text(), QString("Communications Errors"));
    QCOMPARE(p.c.DLLVER->text(), QString("DLL Version Unknown"));
    // Red stays while the device is away, and the old reply is not shown
    // again as if it were new.
    p.c.Reply->setText("(cleared)");
    QTest::qWait(1500);
    QCOMPARE(p.c.ComOK->colour(), colours::Fault);
    QCOMPARE(p.c.Reply->text(), QString("(cleared)"));
    QCOMPARE(p.s.PortOpen, 1);

    // The device returns under a new name: choosing the port already chosen
    // opens it again, and the start-up query shows the module now there.
    const std::string answer = session.sim().control("fault return");
    QVERIFY2(answer.rfind("ok return /dev/", 0) == 0, answer.c_str());
    session.use_device(answer.substr(std::strlen("ok return ")));
    p.c.ComSel[0]->click();
    QCOMPARE(p.s.PortOpen, 1);
    QTRY_COMPARE_WITH_TIMEOUT(p.c.ComOK->colour(), colours::Sent, kBound);
    QTRY_COMPARE_WITH_TIMEOUT(p.c.Reply->text(), QString("C:00C5"), kBound);
    QCOMPARE(p.c.CommEstab->text(), QString("Communications OK"));
    QCOMPARE(p.c.DLLVER->text(), QString(BT_DLL_VERSION));

    // The other port, absent: refused with its reason, and no port chosen.
    const QString absent = QString::fromStdString(session.sim().scratch("absent"));
    qputenv("BRIMTALLY_COM2", absent.toLocal8Bit());
    p.c.ComSel[1]->click();
    QCOMPARE(p.boxes.shown, QStringList{"ok||Can Not Open Comm Port\nNo such device: " + absent});
    QCOMPARE(p.s.PortOpen, 0);
    QCOMPARE(p.exit.ends, 0);
    p.c.Timer2->stop();
  }
};

QTEST_MAIN(ProgramFaults)
#include "program_faults_test.moc"
