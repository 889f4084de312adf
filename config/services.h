// SPDX-License-Identifier: MIT
// Everything outside the window that the window talks to.
#pragma once

#include "clock.h"
#include "library_api.h"
#include "message_boxes.h"
#include "program_exit.h"

struct Services {
  LibraryApi& library;
  MessageBoxes& boxes;
  ProgramExit& exit;
  const Clock& clock;
};
