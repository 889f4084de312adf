// The program under faults, against the real library and the real simulator:
// the device vanishing while it polls, a click on the port already chosen, and
// the window closed by its frame with settings unsent.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

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

// True when another open of the device can take its lock, i.e. nobody holds
// the port.
bool device_free(const std::string& device) {
  const int fd = open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  const bool free = flock(fd, LOCK_EX | LOCK_NB) == 0;
  close(fd);
  return free;
}

int count_lines(const std::vector<std::string>& lines, const std::string& text) {
  return static_cast<int>(std::count(lines.begin(), lines.end(), text));
}

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

  void clickingThePortChosenChangesNothingAndClosingAsksFirst() {
    bt_test::SimSession session;
    Program p;
    p.form.show();
    p.c.ComSel[0]->click();
    QCOMPARE(p.s.PortOpen, 1);
    p.s.DeviceRec.SpareWord = 77;  // a new set-up of the record would clear it
    p.c.ComSel[0]->click();
    p.form.ComSel_Click(0);
    QCOMPARE(p.s.DeviceRec.SpareWord, int16_t(77));
    QCOMPARE(p.s.PortOpen, 1);
    QCOMPARE(p.s.ComPort, int16_t(1));
    QVERIFY(p.c.ComSel[0]->isChecked());
    QVERIFY(p.boxes.shown.isEmpty());
    QCOMPARE(p.exit.ends, 0);
    QVERIFY(p.form.isVisible());
    QVERIFY(!device_free(session.sim().device()));  // still ours
    // And the line still works.
    p.c.DataSent->setText("QC");
    p.c.Send->click();
    QTRY_COMPARE_WITH_TIMEOUT(count_lines(session.logged("in"), "QC\r"), 2, kBound);
    QTRY_COMPARE_WITH_TIMEOUT(p.c.ComOK->colour(), colours::Sent, kBound);

    // Closed by its frame with settings unsent: it asks, and on yes closes
    // the port.
    p.c.ModName->setText("TANK7");  // name and settings now unsent

    p.boxes.answers = {false};
    QVERIFY(!p.form.close());
    const QString question = "yesNo|Done|All Parameters have NOT been sent.  Exit anyway?";
    QCOMPARE(p.boxes.shown, QStringList{question});
    QVERIFY(p.form.isVisible());
    QCOMPARE(p.exit.ends, 0);
    QVERIFY(!device_free(session.sim().device()));
    QTRY_COMPARE_WITH_TIMEOUT(p.c.ComOK->colour(), colours::Sent, kBound);  // still polling

    p.boxes.answers = {true};
    QVERIFY(p.form.close());
    QCOMPARE(p.boxes.shown, (QStringList{question, question}));
    QCOMPARE(p.exit.ends, 1);
    QVERIFY(!p.form.isVisible());
    QVERIFY(device_free(session.sim().device()));  // the port was closed
  }
};

QTEST_MAIN(ProgramFaults)
#include "program_faults_test.moc"
