// SPDX-License-Identifier: MIT
// PEXILConfig: watches a Brimtally module's configuration and sends its
// default settings.
#include <QApplication>

#include "demo_hooks.h"
#include "dynamic_library.h"
#include "qt_message_boxes.h"
#include "qt_program_exit.h"
#include "standard_streams.h"
#include "system_clock.h"
#include "top_form.h"

int main(int argc, char* argv[]) {
  standard_streams::guard();
  QApplication app(argc, argv);
  QtMessageBoxes boxes;
  QtProgramExit exit;
  SystemClock clock;
  // Nothing is loaded here: the library is opened at its first call.
  DynamicLibrary library(DynamicLibrary::defaultPath(), boxes, exit);
  TopForm form(Services{library, boxes, exit, clock});
  boxes.setParent(&form);
  installDemoHooks(form);
  form.show();
  return app.exec();
}
