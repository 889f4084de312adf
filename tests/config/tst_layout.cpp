// The main window's controls: every one there, named, captioned and placed so
// that nothing overlaps or is cut off, also with every frame on show.
#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QtTest>

#include "colours.h"
#include "fakes.h"
#include "light.h"

namespace {

QString captionOf(const QWidget* w) {
  if (auto* b = qobject_cast<const QAbstractButton*>(w)) return b->text();
  if (auto* l = qobject_cast<const QLabel*>(w)) return l->text();
  if (auto* g = qobject_cast<const QGroupBox*>(w)) return g->title();
  if (auto* t = qobject_cast<const QLineEdit*>(w)) return t->text();
  return {};
}

void showEveryFrame(Rig& r) {
  for (QGroupBox* f : r.form.findChildren<QGroupBox*>()) f->show();
  r.form.show();
  QVERIFY(QTest::qWaitForWindowExposed(&r.form));
}

}  // namespace

class Layout : public QObject {
  Q_OBJECT

 private slots:
  void controlsHaveTheirKindsCaptionsAndTips_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("tip");
    QTest::addColumn<QString>("frame");
    auto row = [](const char* n, const char* k, const char* c, const char* t, const char* f) {
      QTest::newRow(n) << n << k << c << t << f;
    };
    row("PrintButton", "QPushButton", "Save to File",
        "File for reference Please mark Brimtally module", "TopForm");
    row("Done", "QPushButton", "Done", " Exit this Demonstration Program. ", "TopForm");
    row("UpdateConfig", "QPushButton", "Change Configuration",
        " Select to Set Selected Configuration. ", "TopForm");
    row("ComSel(0)", "QRadioButton", "Com1", "", "Communications");
    row("ComSel(1)", "QRadioButton", "Com2", "", "Communications");
    row("Send", "QPushButton", "Send", " Enter Data then Select SEND. ", "Communications");
    row("CommEstab", "QLabel", "Communications Status", "", "Communications");
    row("Brim", "QLabel", "Brimtally Version ???", "", "Communications");
    row("DLLVER", "QLabel", "Label1", "", "Communications");
    row("Reply", "QLineEdit", "Data Received", "", "Communications");
    row("ModName", "QLineEdit", "", "", "ModID");
    row("SelMod", "QPushButton", "Rename Module", " Enter New Name then Select Rename. ", "ModID");
    row("SetAna8DefaultLimits", "QPushButton", "Set Defalut 8 Bit Analog Limits", "", "Analog8Lim");
    row("SetAna12DefaultLimits", "QPushButton", "Set Defalut 12 Bit Analog Limits", "",
        "Analog12Lim");
    row("PWMLabel", "QLabel", "PWM", "", "PWMDefaults");
    row("PWMPctLabel", "QLabel", "PWM % High", "", "PWMDefaults");
    row("SetDefaultPWM", "QPushButton", "Set Default PWM Parameters", "", "PWMDefaults");
    row("Label4", "QLabel", "O=Output", "", "PortDir");
    row("Label5", "QLabel", "I=Input", "", "PortDir");
    row("SetDefaultPortDir", "QPushButton", "Set Default I/O Port Direction", "", "PortDir");
    row("NetBaud", "QComboBox", "", " A List of Defined Brimtally Modules. ", "NetBaudRate");
    row("SetNetBaud", "QPushButton", "Set Baud", "", "NetBaudRate");
    row("SetDelay", "QPushButton", "Set Communications Delay", "", "CommDelay");
    row("ComDlySldr", "QSlider", "", "", "CommDelay");
    row("Label10(0)", "QLabel", "- Force Configuration Mode on Reset", "", "TopForm");
    row("Label10(8)", "QLabel", "0", "", "PortDir");
    row("Label10(3)", "QLabel", "3", "", "PortDir");
    row("Label22", "QLabel", "- Enable 12 Bit Analog I/O", "", "TopForm");
    row("Label7", "QLabel", "- Reserved", "", "TopForm");
    row("Label15", "QLabel", "- Enable Digital Outputs with 8 bit Analog Limits", "", "TopForm");
    row("HLim12Set(1)", "QSlider", "", "", "Analog12Lim");
    row("LLim(3)", "QLineEdit", "", "", "Analog8Lim");
    row("ConfigAlert", "Light", "", "", "TopForm");
    row("ComOK", "Light", "", "", "Communications");
    row("IODirAlarm", "Light", "", "", "PortDir");
  }
  void controlsHaveTheirKindsCaptionsAndTips() {
    QFETCH(QString, name);
    QFETCH(QString, kind);
    QFETCH(QString, caption);
    QFETCH(QString, tip);
    QFETCH(QString, frame);
    Rig r;
    const auto found = r.form.findChildren<QWidget*>(name);
    QCOMPARE(found.size(), 1);
    QWidget* w = found[0];
    if (kind == "Light") {
      QVERIFY(dynamic_cast<Light*>(w));
    } else {
      QCOMPARE(QString(w->metaObject()->className()), kind);
    }
    if (kind != "QLineEdit" || name == "Reply" || name == "ModName") {
      QCOMPARE(captionOf(w), caption);
    }
    QCOMPARE(w->toolTip(), tip);
    QCOMPARE(w->parentWidget()->objectName(), frame);
  }

  void windowCaptionSizeAndDesignColours() {
    Rig r;
    QCOMPARE(r.form.windowTitle(), QString("Pexil Brimtally Module Configuration V00-09"));
    QCOMPARE(r.form.size(), QSize(794, 575));
    const QStringList items = {"   300", "  1200", "  2400", "  9600", "19200", "57600"};
    QCOMPARE(r.c.NetBaud->count(), 6);
    for (int i = 0; i < 6; ++i) QCOMPARE(r.c.NetBaud->itemText(i), items[i]);
    QCOMPARE(r.c.PWMPeriodSet->minimum(), 16);
    QCOMPARE(r.c.PWMPeriodSet->maximum(), 32767);
    QCOMPARE(r.c.PWMPeriodSet->pageStep(), 50);
    QCOMPARE(r.c.PWMPctSet->maximum(), 100);
    QCOMPARE(r.c.ComDlySldr->maximum(), 254);
    QCOMPARE(r.c.HLimSet[0]->maximum(), 255);
    QCOMPARE(r.c.HLim12Set[0]->maximum(), 4095);
    QCOMPARE(r.c.DataSent->maxLength(), 98);
    for (QPushButton* line : r.c.DDir) QCOMPARE(line->text(), QString("I"));
    QVERIFY(r.c.ComDlyTxt->styleSheet().contains("#00FF00"));
  }

  void configurationRowsRunFromBit15Down() {
    Rig r;
    for (int n = 0; n < 16; ++n) {
      const int y = r.c.ConfigReq[n]->geometry().center().y();
      for (QWidget* w :
           std::initializer_list<QWidget*>{r.c.CB[n], r.c.ConfigBit[n], r.c.BitDescription[n]}) {
        QVERIFY(std::abs(w->geometry().center().y() - y) <= 2);
      }
      QVERIFY(r.c.ConfigReq[n]->x() < r.c.CB[n]->x());
      QVERIFY(r.c.CB[n]->x() < r.c.ConfigBit[n]->x());
      QVERIFY(r.c.ConfigBit[n]->x() < r.c.BitDescription[n]->x());
      QCOMPARE(r.c.CB[n]->text(), QString::number(n));
      QCOMPARE(r.c.ConfigReq[n]->objectName(), QString("ConfigReq(%1)").arg(n));
      const bool reserved = n == 10 || n == 11 || n == 14 || n == 15;
      QCOMPARE(r.c.ConfigReq[n]->isEnabled(), !reserved);
      if (n > 0) QVERIFY(r.c.ConfigReq[n]->y() < r.c.ConfigReq[n - 1]->y());
    }
    for (int bit = 1; bit < 8; ++bit) {
      QVERIFY(r.c.DDir[bit]->x() < r.c.DDir[bit - 1]->x());  // bit 7 at the left
      QCOMPARE(r.c.Label10[bit]->geometry().center().x(), r.c.DDir[bit]->geometry().center().x());
    }
    QCOMPARE(r.c.Label10[8]->geometry().center().x(), r.c.DDir[0]->geometry().center().x());
  }

  void nothingOverlapsOrIsCutOffWithEveryFrameShown() {
    Rig r;
    showEveryFrame(r);
    const QRect client = r.form.rect();
    for (QWidget* parent : r.form.findChildren<QWidget*>() << &r.form) {
      QList<QWidget*> kids;
      for (QObject* o : parent->children()) {
        if (auto* w = qobject_cast<QWidget*>(o); w && !w->isWindow()) kids << w;
      }
      for (int i = 0; i < kids.size(); ++i) {
        const QRect a = kids[i]->geometry();
        QVERIFY2(parent->rect().contains(a), qPrintable(kids[i]->objectName() + " outside"));
        for (int j = i + 1; j < kids.size(); ++j) {
          QVERIFY2(!a.intersects(kids[j]->geometry()),
                   qPrintable(kids[i]->objectName() + " overlaps " + kids[j]->objectName()));
        }
      }
    }
    QVERIFY(client.contains(r.c.PortDir->geometry()));
    // Captions fit their controls.
    for (QWidget* w : r.form.findChildren<QWidget*>()) {
      const QString text = captionOf(w);
      if (text.isEmpty() || qobject_cast<QLineEdit*>(w)) continue;
      int room = w->width();
      if (qobject_cast<QPushButton*>(w)) room -= 8;
      if (qobject_cast<QCheckBox*>(w) || qobject_cast<QRadioButton*>(w)) room -= 22;
      if (qobject_cast<QGroupBox*>(w)) room -= 16;
      const int needed = w->fontMetrics().horizontalAdvance(text);
      QVERIFY2(
          needed <= room,
          qPrintable(QString("%1 needs %2 px, has %3").arg(w->objectName()).arg(needed).arg(room)));
      QVERIFY2(w->fontMetrics().height() <= w->height(), qPrintable(w->objectName()));
    }
    const QString shot = qEnvironmentVariable("PEXILCONFIG_LAYOUT_SHOT");
    if (!shot.isEmpty()) QVERIFY(r.form.grab().save(shot));
  }
};

QTEST_MAIN(Layout)
#include "tst_layout.moc"
