// SPDX-License-Identifier: MIT
// `send TEXT`: a raw line (the console commands such as QC), then the reply
// lines until the count or the time-out.
#include <cstring>
#include <iostream>

#include "commands.h"
#include "status_words.h"

namespace cli {

// The tool is built on the tools' common library.
using namespace toolkit;

int run_send(const CommonOptions& options, const std::string& text, int lines) {
  // The text, its CR and the NUL must fit MessageText.
  const size_t capacity = BT_MESSAGE_LEN - 2;
  for (char c : text) {
    if (c < 32 || c > 126) {
      throw Failure(kExitUsage, "send: the text must be printable ASCII; nothing sent");
    }
  }
  if (text.size() > capacity) {
    throw Failure(kExitUsage, "send: the text is longer than " + std::to_string(capacity) +
                                  " characters; nothing sent");
  }
  Session session(options);
  // The first line may be as long as a reply can be, after the text went out.
  const int chars = static_cast<int>(text.size()) + 1 + BT_REPLY_LEN;
  session.address(options.address, reply_timeout(options, chars));
  ModuleRecord& record = session.record();
  std::memset(record.MessageText, 0, sizeof record.MessageText);
  (text + "\r").copy(record.MessageText, BT_MESSAGE_LEN - 1);
  ex_xmit_msg(&record);

  int received = 0;
  while (lines < 0 || received < lines) {
    const int16_t got = ex_read_line(&record);
    if (got == BT_READ_ERROR) {
      if (const std::string echo = toolkit::echo_fault(); !echo.empty()) {
        throw Failure(kExitBadReply, session.port().label + ": " + echo);
      }
      if (session.device_gone()) throw session.gone_failure();
      throw Failure(kExitBadReply, session.port().label +
                                       ": a reply line longer than 99 characters or a line "
                                       "fault; --trace shows the bytes");
    }
    if (got == 0) break;
    std::cout << std::string(record.ReplyText, strnlen(record.ReplyText, BT_REPLY_LEN)) << '\n';
    ++received;
  }
  if (received == 0 && lines != 0) {
    throw Failure(kExitNoReply, session.port().label + ": no reply to \"" + text + "\" within " +
                                    std::to_string(record.ReplyTimeout) +
                                    " ms; check the wiring and --baud, or raise --timeout");
  }
  return kExitOk;
}

}  // namespace cli
