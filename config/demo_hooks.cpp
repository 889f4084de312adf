// SPDX-License-Identifier: MIT
#include "demo_hooks.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QEvent>
#include <QPixmap>
#include <QRadioButton>
#include <QTimer>
#include <cstdio>

#include "colours.h"
#include "light.h"
#include "top_form.h"

namespace {

class FirstPaintReporter : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      std::printf(
          "shown %lld\n",
          static_cast<long long>(QDateTime::currentDateTimeUtc().toMSecsSinceEpoch()) * 1000);
      std::fflush(stdout);
      watched->removeEventFilter(this);
      deleteLater();
    }
    return false;
  }
};

void screenshotWhenConfigured(TopForm& form, const QString& path) {
  auto* poll = new QTimer(&form);
  auto* elapsed = new QElapsedTimer;
  elapsed->start();
  QObject::connect(poll, &QTimer::timeout, &form, [&form, poll, elapsed, path] {
    if (form.controls().ConfigAlert->colour() == colours::Sent) {
      poll->stop();
      delete elapsed;
      // One more tick so the rest of the reply's effects are painted.
      QTimer::singleShot(500, &form, [&form, path] {
        const bool saved = form.grab().save(path);
        if (!saved) std::fprintf(stderr, "PEXILConfig: cannot write %s\n", qPrintable(path));
        QCoreApplication::exit(saved ? 0 : 4);
      });
    } else if (elapsed->hasExpired(30000)) {
      poll->stop();
      delete elapsed;
      std::fprintf(stderr, "PEXILConfig: no configuration reply within 30 s\n");
      QCoreApplication::exit(3);
    }
  });
  poll->start(50);
}

}  // namespace

void installDemoHooks(TopForm& form) {
  if (qEnvironmentVariableIntValue("PEXILCONFIG_PRINT_SHOWN") == 1) {
    form.installEventFilter(new FirstPaintReporter(&form));
  }
  const QString screenshot = qEnvironmentVariable("PEXILCONFIG_DEMO_SCREENSHOT");
  if (qEnvironmentVariableIntValue("PEXILCONFIG_DEMO_SELECT") == 1 || !screenshot.isEmpty()) {
    QTimer::singleShot(0, &form, [&form] { form.controls().ComSel[0]->click(); });
  }
  if (!screenshot.isEmpty()) screenshotWhenConfigured(form, screenshot);
}
