// The window as it starts, its layout (nothing overlapping or cut off, also
// with every frame on show), and loading the device library by path: nothing
// at start-up, each export at its first call, and a message and status 1 when
// a file or export is missing.
#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QtTest>

#include "colours.h"
#include "dynamic_library.h"
#include "fakes.h"
#include "light.h"

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
    QCOMPARE(form.state().Commands.slot(0), QString("QC"));
    QCOMPARE(form.state().Commands.occupied(), 1);
    QVERIFY(c.Timer2->isActive() && c.Timer2->interval() == 400);
    QVERIFY(!c.Send->isEnabled() && !c.UpdateConfig->isEnabled() && !c.PrintButton->isEnabled());
    for (QGroupBox* f : form.findChildren<QGroupBox*>()) {
      QCOMPARE(f->isHidden(), f != c.Communications);
    }
    for (Light* l : form.findChildren<Light*>()) {
      const bool grey = l == c.ComOK || l->objectName().startsWith("ConfigBit");
      QVERIFY2(l->colour() == (grey ? colours::Clear : colours::Unsent),
               qPrintable(l->objectName()));
    }
    QCOMPARE(c.ComDlyTxt->text() + c.PWMPeriod->text() + c.PWMPct->text(), QString("50100050"));
    QCOMPARE(c.NetBaud->currentText(), QString("  9600"));
    QCOMPARE(c.HLimSet[3]->value() + c.LLimSet[3]->value(), 255);
    QCOMPARE(c.HLim12Set[1]->value() + c.LLim12Set[1]->value(), 4095);
    for (int n = 0; n < 16; ++n) {  // bit 15 at the top; reserved bits cannot be asked for
      QCOMPARE(c.ConfigReq[n]->isEnabled(), n != 10 && n != 11 && n != 14 && n != 15);
      if (n > 0) QVERIFY(c.ConfigReq[n]->y() < c.ConfigReq[n - 1]->y());
    }
    form.Timer2_Timer();  // start-up and a tick never touch the library
    QVERIFY(!lib.loaded() && boxes.shown.isEmpty());
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

  void nothingOverlapsOrIsCutOffWithEveryFrameShown() {
    Rig r;
    for (QGroupBox* f : r.form.findChildren<QGroupBox*>()) f->show();
    r.form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&r.form));
    for (QWidget* parent : r.form.findChildren<QWidget*>() << &r.form) {
      const auto kids = parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
      for (int i = 0; i < kids.size(); ++i) {
        const QRect a = kids[i]->geometry();
        QVERIFY2(parent->rect().contains(a), qPrintable(kids[i]->objectName()));
        for (int j = i + 1; j < kids.size(); ++j) {
          QVERIFY2(!a.intersects(kids[j]->geometry()),
                   qPrintable(kids[i]->objectName() + " overlaps " + kids[j]->objectName()));
        }
      }
    }
    for (QWidget* w : r.form.findChildren<QWidget*>()) {
      QString text;
      int room = w->width();
      if (auto* b = qobject_cast<QAbstractButton*>(w)) {
        text = b->text();
        room -= qobject_cast<QPushButton*>(w) ? 8 : 22;  // bevel, or the box
      } else if (auto* l = qobject_cast<QLabel*>(w)) {
        text = l->text();
      } else if (auto* g = qobject_cast<QGroupBox*>(w)) {
        text = g->title();
        room -= 16;
      }
      if (text.isEmpty()) continue;
      QVERIFY2(w->fontMetrics().horizontalAdvance(text) <= room, qPrintable(w->objectName()));
      QVERIFY2(w->fontMetrics().height() <= w->height(), qPrintable(w->objectName()));
    }
    const QString shot = qEnvironmentVariable("PEXILCONFIG_LAYOUT_SHOT");
    if (!shot.isEmpty()) QVERIFY(r.form.grab().save(shot));
  }
};

QTEST_MAIN(Window)
#include "tst_window.moc"
