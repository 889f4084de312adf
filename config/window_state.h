// SPDX-License-Identifier: MIT
// The main window's own variables. The lights' colours and the frames'
// visibility are state too; they live in the controls.
#pragma once

#include <QString>
#include <cstdint>

#include "brimtally.h"
#include "command_buffer.h"

struct WindowState {
  int16_t ComPort = 0;   // 0 none, 1 Com1, 2 Com2
  int16_t PortOpen = 0;  // 1 while a port is open and DeviceRec set up
  CommandBuffer Commands;
  QString NextCommand;       // what the next QueueCommand stores
  int16_t ReplyWait = 0;     // ticks that only read after a send
  bool CommFailed = false;   // the last tick met a communication error
  bool AnswerShown = false;  // Reply shows a line that answered the last command
  int32_t ConfigWord = 0;
  bool VersionPending = true;  // no banner line since start-up or the last rename
  bool ParamsSaved = false;    // the report was written after the last settings send
  int16_t PrintFlag = 0;       // 1: the next tick writes the report
  QString NetFileName;         // the report file
  ModuleRecord DeviceRec{};    // all zero until the first successful port choice
};
