// Loading the device library by path: nothing at start-up, each export at its
// first call, and a message and status 1 when a file or export is missing.
#include <QtTest>

#include "dynamic_library.h"
#include "fakes.h"

class LibraryBinding : public QObject {
  Q_OBJECT

 private slots:
  void missingFileShowsOnlyAtTheFirstPortChoice() {
    QCOMPARE(DynamicLibrary::defaultPath(),
             QCoreApplication::applicationDirPath() + "/../lib/libbrimtally.so.1");
    FakeBoxes boxes;
    FakeExit exit;
    SystemClock clock;
    DynamicLibrary library("/nonexistent/libbrimtally.so.1", boxes, exit);
    TopForm form(Services{library, boxes, exit, clock});
    form.Timer2_Timer();
    QVERIFY(!library.loaded() && boxes.shown.isEmpty());
    try {
      form.ComSel_Click(0);
      QFAIL("the program went on without its library");
    } catch (const ProgramFailed& failed) {
      QCOMPARE(failed.status, 1);
    }
    QCOMPARE(boxes.shown.size(), 1);
    QVERIFY2(boxes.shown[0].startsWith("ok||/nonexistent/libbrimtally.so.1: cannot open"),
             qPrintable(boxes.shown[0]));
  }

  void exportsAreFoundOneByOne() {
    FakeBoxes boxes;
    FakeExit exit;
    DynamicLibrary library(PARTIAL_LIBRARY, boxes, exit);
    QCOMPARE(library.btPortOpen(2, 9600), int16_t{2096});  // the file's own answer
    QCOMPARE(library.btPortOpen(1, 300), int16_t{1003});
    QVERIFY(boxes.shown.isEmpty());
    ModuleRecord record{};
    QVERIFY_THROWS_EXCEPTION(ProgramFailed, library.ex_read_line(&record));
    QCOMPARE(boxes.shown.size(), 1);
    QVERIFY2(boxes.shown[0].contains("ex_read_line"), qPrintable(boxes.shown[0]));
  }
};

QTEST_MAIN(LibraryBinding)
#include "tst_library_binding.moc"
