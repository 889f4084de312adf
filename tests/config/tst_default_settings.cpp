// The configuration request and the default-setting editors: the command texts
// they queue, the limit sliders' crossing guard, refused limit boxes, and the
// lights and flags each edit and send leaves.
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QtTest>

#include "colours.h"
#include "fakes.h"
#include "light.h"

namespace {
QStringList queued(const Rig& r) {
  QStringList out;
  for (int i = 0; i < CommandBuffer::kSlots; ++i) out << r.s.Commands.slot(i);
  out.removeAll(QString());
  return out;
}

// Low and high of a channel as "box/slider box/slider".
QString limits(const QLineEdit* low, const QSlider* lowSet, const QLineEdit* high,
               const QSlider* highSet) {
  return QString("%1/%2 %3/%4")
      .arg(low->text())
      .arg(lowSet->value())
      .arg(high->text())
      .arg(highSet->value());
}
}  // namespace

class DefaultSettings : public QObject {
  Q_OBJECT

 private slots:
  void configurationRequestSendsWholeWordThenQuery_data() {
    QTest::addColumn<QList<int>>("ticked");
    QTest::addColumn<QString>("command");
    QTest::newRow("none") << QList<int>{} << "CO 0";
    QTest::newRow("0 and 5") << QList<int>{0, 5} << "CO 21";
    QList<int> all;
    for (int n = 0; n < 16; ++n) all << n;  // the reserved boxes cannot be ticked
    QTest::newRow("all") << all << "CO 33FF";
  }
  void configurationRequestSendsWholeWordThenQuery() {
    QFETCH(QList<int>, ticked);
    QFETCH(QString, command);
    Rig r;
    r.openAndDrain();
    r.form.ConfigReply("C:0000");
    for (Light* l : {r.c.ConfigAlert, r.c.NetBaudAlarm, r.c.Ana8Alarm, r.c.IODirAlarm}) {
      l->setColour(colours::Sent);
    }
    r.s.ParamsSaved = true;
    for (int n : ticked) r.c.ConfigReq[n]->click();
    QCOMPARE(r.c.ConfigAlert->colour(), ticked.isEmpty() ? colours::Sent : colours::Unsent);
    r.c.UpdateConfig->click();
    QCOMPARE(queued(r), (QStringList{command, "QC"}));
    // The defaults are asked for again; the network settings and the
    // confirmation light keep their colours until the answer.
    QCOMPARE(r.c.Ana8Alarm->colour(), colours::Unsent);
    QCOMPARE(r.c.IODirAlarm->colour(), colours::Unsent);
    QCOMPARE(r.c.NetBaudAlarm->colour(), colours::Sent);
    QVERIFY(!r.s.ParamsSaved);
    r.ticks(2);
    r.lib.reply("C:" + command.mid(3));
    r.ticks(2);
    QCOMPARE(r.c.ConfigAlert->colour(), colours::Sent);
    QCOMPARE(r.lib.sent(), (QStringList{command, "QC"}));
  }

  void limitButtonsQueueOneCommandPerChannel() {
    Rig r;
    r.s.Commands.clear();
    r.s.ParamsSaved = true;
    r.c.SetAna8DefaultLimits->click();
    r.c.SetAna12DefaultLimits->click();
    QCOMPARE(queued(r), (QStringList{"SLD 0 0 FF", "SLD 1 0 FF", "SLD 2 0 FF", "SLD 3 0 FF",
                                     "SLD 4 0 FFF", "SLD 5 0 FFF"}));
    QCOMPARE(r.c.Ana8Alarm->colour(), colours::Sent);
    QCOMPARE(r.c.Ana12Alarm->colour(), colours::Sent);
    QVERIFY(!r.s.ParamsSaved);

    r.s.Commands.clear();
    r.c.HLimSet[2]->setValue(200);
    r.c.LLimSet[2]->setValue(16);
    QCOMPARE(r.c.Ana8Alarm->colour(), colours::Unsent);
    r.c.LLim[0]->setText(" 300 ");  // the boxes are sent, beyond the sliders' range too
    r.c.LLim12[1]->setText("65535");
    r.c.SetAna8DefaultLimits->click();
    r.c.SetAna12DefaultLimits->click();
    QCOMPARE(queued(r), (QStringList{"SLD 0 12C FF", "SLD 1 0 FF", "SLD 2 10 C8", "SLD 3 0 FF",
                                     "SLD 4 0 FFF", "SLD 5 FFFF FFF"}));
  }

  // A box that is not a whole decimal number stops its whole group, names the
  // box, and leaves the light orange; the other group is not affected.
  void limitBoxThatIsNotAWholeNumberRefusesTheGroup_data() {
    QTest::addColumn<QString>("text");
    for (const char* t : {"", "12.5", "-3", "abc", "1 2", "2147483648", "0x10"})
      QTest::newRow(*t ? t : "empty") << QString(t);
  }
  void limitBoxThatIsNotAWholeNumberRefusesTheGroup() {
    QFETCH(QString, text);
    Rig r;
    r.s.Commands.clear();
    r.s.ParamsSaved = true;
    r.c.HLim[3]->setText(text);
    r.c.SetAna8DefaultLimits->click();
    QCOMPARE(r.boxes.shown.size(), 1);
    QVERIFY2(r.boxes.shown[0].contains("8 bit channel 3 high limit") &&
                 r.boxes.shown[0].contains('"' + text + '"'),
             qPrintable(r.boxes.shown[0]));
    QCOMPARE(queued(r), QStringList());
    QCOMPARE(r.c.Ana8Alarm->colour(), colours::Unsent);
    QVERIFY(r.s.ParamsSaved);

    r.c.LLim12[0]->setText(text);
    r.c.SetAna12DefaultLimits->click();
    QVERIFY(r.boxes.shown.last().contains("12 bit channel 4 low limit"));
    QCOMPARE(queued(r), QStringList());
    QCOMPARE(r.c.Ana12Alarm->colour(), colours::Unsent);
  }

  void limitSlidersPushTheOtherLimitOfTheirChannel() {
    Rig r;
    const auto ch = [&r](int i) {
      return limits(r.c.LLim[i], r.c.LLimSet[i], r.c.HLim[i], r.c.HLimSet[i]);
    };
    r.c.LLimSet[0]->setValue(100);
    r.c.HLimSet[0]->setValue(60);
    QCOMPARE(ch(0), QString("60/60 60/60"));
    r.c.LLimSet[0]->setValue(200);
    QCOMPARE(ch(0), QString("200/200 200/200"));
    QCOMPARE(ch(1), QString("0/0 255/255"));  // each channel on its own

    // The boxes are compared, not the sliders: a typed low limit above the
    // high slider is pulled down with it.
    r.c.LLim[1]->setText("200");
    r.c.HLimSet[1]->setValue(150);
    QCOMPARE(ch(1), QString("150/150 150/150"));
    // Read leniently: blanks skipped, digits up to the first other character.
    r.c.LLim[2]->setText(" 1 5.7abc");
    r.c.HLimSet[2]->setValue(15);
    QCOMPARE(ch(2), QString("15/15 15/15"));
    r.c.LLim[3]->setText("x9");  // no number: 0, nothing to push
    r.c.HLimSet[3]->setValue(0);
    QCOMPARE(ch(3), QString("x9/0 0/0"));

    const auto ch12 = [&r](int i) {
      return limits(r.c.LLim12[i], r.c.LLim12Set[i], r.c.HLim12[i], r.c.HLim12Set[i]);
    };
    r.c.HLim12Set[1]->setValue(1000);
    r.c.LLim12Set[1]->setValue(3000);
    QCOMPARE(ch12(1), QString("3000/3000 3000/3000"));
    r.c.HLim12Set[1]->setValue(5);
    QCOMPARE(ch12(1), QString("5/5 5/5"));
    QCOMPARE(ch12(0), QString("0/0 4095/4095"));
  }

  void limitEditsPaintTheirAlarm() {
    Rig r;
    for (Light* l : {r.c.Ana8Alarm, r.c.Ana12Alarm}) l->setColour(colours::Sent);
    r.c.LLimSet[1]->setValue(7);
    QCOMPARE(r.c.Ana8Alarm->colour(), colours::Unsent);
    QCOMPARE(r.c.Ana12Alarm->colour(), colours::Sent);
    r.c.Ana8Alarm->setColour(colours::Sent);
    r.c.HLim[2]->setText("9");
    QCOMPARE(r.c.Ana8Alarm->colour(), colours::Unsent);
    r.c.HLim12Set[0]->setValue(4000);
    QCOMPARE(r.c.Ana12Alarm->colour(), colours::Unsent);
  }

  // Three free slots: channels 0 to 2 go in, channel 3 is dropped with the
  // buffer's message, and the light still turns green.
  void limitsWithThreeFreeSlots() {
    Rig r;
    for (const char* cmd : {"A1", "A2", "A3", "A4"}) {
      r.s.NextCommand = cmd;
      r.form.QueueCommand();
    }
    r.c.SetAna8DefaultLimits->click();
    QCOMPARE(queued(r),
             (QStringList{"QC", "A1", "A2", "A3", "A4", "SLD 0 0 FF", "SLD 1 0 FF", "SLD 2 0 FF"}));
    QCOMPARE(r.boxes.shown,
             QStringList{"okCancel||Not enough room in the Command Buffer.  Go SLOWER!!"});
    QCOMPARE(r.c.Ana8Alarm->colour(), colours::Sent);
  }

  void pwmSendsHighTimeRoundedHalfToEven_data() {
    QTest::addColumn<int>("period");
    QTest::addColumn<int>("percent");
    QTest::addColumn<QString>("command");
    QTest::newRow("start-up") << -1 << -1 << "SP 3E8 1F4";
    QTest::newRow("500.5 down") << 1001 << 50 << "SP 3E9 1F4";
    QTest::newRow("501.5 up") << 1003 << 50 << "SP 3EB 1F6";
    QTest::newRow("2.5 down") << 10 << 25 << "SP 10 4";  // the period's floor is 16
    QTest::newRow("7.5 up") << 30 << 25 << "SP 1E 8";
    QTest::newRow("50.05") << 1001 << 5 << "SP 3E9 32";
    QTest::newRow("least") << 16 << 0 << "SP 10 0";
    QTest::newRow("most") << 40000 << 120 << "SP 7FFF 7FFF";
  }
  void pwmSendsHighTimeRoundedHalfToEven() {
    QFETCH(int, period);
    QFETCH(int, percent);
    QFETCH(QString, command);
    Rig r;
    r.s.Commands.clear();
    if (period >= 0) r.c.PWMPeriodSet->setValue(period);
    if (percent >= 0) r.c.PWMPctSet->setValue(percent);
    QCOMPARE(r.c.PWMPeriod->text(), QString::number(r.c.PWMPeriodSet->value()));
    QCOMPARE(r.c.PWMPct->text(), QString::number(r.c.PWMPctSet->value()));
    r.s.ParamsSaved = true;
    r.c.SetDefaultPWM->click();
    QCOMPARE(queued(r), QStringList{command});
    QCOMPARE(r.c.PWMAlarm->colour(), colours::Sent);
    QVERIFY(!r.s.ParamsSaved);
  }

  // Typing into a value box marks the group unsent; the slider is what goes.
  void typedValueBoxesOnlyMarkUnsent() {
    Rig r;
    r.s.Commands.clear();
    r.c.SetDefaultPWM->click();
    r.c.SetDelay->click();
    r.c.PWMPeriod->setText("2000");
    r.c.ComDlyTxt->setText("100");
    QCOMPARE(r.c.PWMAlarm->colour(), colours::Unsent);
    QCOMPARE(r.c.CommDelayAlarm->colour(), colours::Unsent);
    r.c.SetDefaultPWM->click();
    r.c.SetDelay->click();
    QCOMPARE(queued(r), (QStringList{"SP 3E8 1F4", "CD 32", "SP 3E8 1F4", "CD 32"}));
  }

  void delaySliderRunsFrom0To254() {
    Rig r;
    r.s.Commands.clear();
    r.c.CommDelayAlarm->setColour(colours::Sent);
    r.c.ComDlySldr->setValue(255);
    QCOMPARE(r.c.ComDlyTxt->text(), QString("254"));
    QCOMPARE(r.c.CommDelayAlarm->colour(), colours::Unsent);
    r.c.SetDelay->click();
    r.c.ComDlySldr->setValue(-1);
    r.c.ComDlySldr->triggerAction(QAbstractSlider::SliderPageStepAdd);
    r.c.SetDelay->click();
    QCOMPARE(queued(r), (QStringList{"CD FE", "CD 5"}));
    QCOMPARE(r.c.CommDelayAlarm->colour(), colours::Sent);
  }

  void sliderStepsAndStarts() {
    Rig r;
    struct Case {
      QSlider* slider;
      int start, page;
    };
    for (auto [slider, start, page] :
         {Case{r.c.PWMPeriodSet, 1000, 50}, Case{r.c.PWMPctSet, 50, 5}, Case{r.c.ComDlySldr, 50, 5},
          Case{r.c.LLimSet[0], 0, 5}, Case{r.c.HLim12Set[1], 4095, 5}}) {
      QCOMPARE(slider->value(), start);
      slider->triggerAction(QAbstractSlider::SliderPageStepSub);
      slider->triggerAction(QAbstractSlider::SliderSingleStepAdd);
      QCOMPARE(slider->value(), std::max(start - page, slider->minimum()) + 1);
      QCOMPARE(slider->orientation(), Qt::Horizontal);
    }
  }

  void portLinesToggleAndSendTheirInputs() {
    Rig r;
    r.s.Commands.clear();
    r.c.SetDefaultPortDir->click();  // every line "I" in the design
    r.form.ConfigReply("C:0000");    // every line an output
    r.c.SetDefaultPortDir->click();
    r.c.DDir[0]->click();
    r.c.DDir[7]->click();
    r.c.SetDefaultPortDir->click();
    r.c.DDir[3]->click();
    r.c.DDir[3]->click();
    QCOMPARE(r.c.DDir[3]->text(), QString("O"));
    QCOMPARE(r.c.IODirAlarm->colour(), colours::Unsent);
    r.form.ConfigReply("C:0208");  // line 0 locked as an input counts too
    r.c.SetDefaultPortDir->click();
    QCOMPARE(queued(r), (QStringList{"SBD FF", "SBD 0", "SBD 81", "SBD 1"}));
    QCOMPARE(r.c.IODirAlarm->colour(), colours::Sent);
  }

  void networkBaudByListPosition() {
    Rig r;
    r.s.Commands.clear();
    const QStringList expected{"CB 3", "CB 12", "CB 24", "CB 96", "CB 19", "CB 57"};
    for (int i = 0; i < 6; ++i) {
      r.c.NetBaud->setCurrentIndex(i);
      QCOMPARE(r.c.NetBaudAlarm->colour(), colours::Unsent);
      r.c.SetNetBaud->click();
      QCOMPARE(r.c.NetBaudAlarm->colour(), colours::Sent);
    }
    QCOMPARE(queued(r), expected);
  }
};

QTEST_MAIN(DefaultSettings)
#include "tst_default_settings.moc"
