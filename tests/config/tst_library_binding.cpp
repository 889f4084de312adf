// Loading the device library by path: nothing at start-up, each export at its
// first call, and a message and status 1 when a file or export is missing.
#include <QRadioButton>
#include <QtTest>

#include "dynamic_library.h"
#include "fakes.h"

class LibraryBinding : public QObject {
  Q_OBJECT

 private slots:
  void pathIsBesideTheProgramsDirectory() {
    QCOMPARE(DynamicLibrary::defaultPath(),
             QCoreApplication::applicationDirPath() + "/../lib/libbrimtally.so.1");
  }

  void missingFileShowsOnlyAtTheFirstPortChoice() {
    FakeBoxes boxes;
    FakeExit exit;
    FakeClock clock;
    DynamicLibrary library("/nonexistent/libbrimtally.so.1", boxes, exit);
    TopForm form(Services{library, boxes, exit, clock});
    form.Timer2_Timer();  // start-up and idle ticks never load it
    QVERIFY(!library.loaded());
    QVERIFY(boxes.shown.empty());
    try {
      form.ComSel_Click(0);
      QFAIL("the program went on without its library");
    } catch (const ProgramFailed& failed) {
      QCOMPARE(failed.status, 1);
    }
    QCOMPARE(boxes.shown.size(), size_t{1});
    QCOMPARE(boxes.shown[0].kind, QString("ok"));
    QVERIFY2(boxes.shown[0].text.contains("/nonexistent/libbrimtally.so.1") &&
                 boxes.shown[0].text.contains("No such file"),
             qPrintable(boxes.shown[0].text));
  }

  void exportsAreFoundOneByOne() {
    FakeBoxes boxes;
    FakeExit exit;
    DynamicLibrary library(PARTIAL_LIBRARY, boxes, exit);
    QVERIFY(!library.loaded());
    QCOMPARE(library.btPortOpen(2, 9600), int16_t{2096});  // the file's own answer
    QVERIFY(library.loaded());
    QCOMPARE(library.btPortOpen(1, 300), int16_t{1003});
    QVERIFY(boxes.shown.empty());
    ModuleRecord record{};
    try {
      library.ex_read_line(&record);
      QFAIL("a missing export was called");
    } catch (const ProgramFailed& failed) {
      QCOMPARE(failed.status, 1);
    }
    QCOMPARE(boxes.shown.size(), size_t{1});
    QVERIFY2(boxes.shown[0].text.contains("ex_read_line"), qPrintable(boxes.shown[0].text));
  }
};

QTEST_MAIN(LibraryBinding)
#include "tst_library_binding.moc"
