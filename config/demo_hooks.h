// SPDX-License-Identifier: MIT
// Hooks for scripts/demo and the start-up benchmark, switched on by
// environment variables the operator never sets:
//   PEXILCONFIG_DEMO_SELECT=1          choose Com1 once the window is shown
//   PEXILCONFIG_DEMO_SCREENSHOT=PATH   choose Com1, wait for the configuration
//                                      reply, save a picture of the window to
//                                      PATH and quit (status 0; 3 when no reply
//                                      comes within 30 s, 4 when PATH cannot be
//                                      written)
//   PEXILCONFIG_PRINT_SHOWN=1          print "shown <epoch microseconds>" on
//                                      standard output at the first paint
#pragma once

class TopForm;

void installDemoHooks(TopForm& form);
