// SPDX-License-Identifier: MIT
// `set SETTING ARGS...`: one setting, its arguments checked before anything
// is sent. Settings get no reply; the line sent is shown.
#include <cstring>
#include <iostream>

#include "commands.h"

namespace cli {

// The tool is built on the tools' common library.
using namespace toolkit;

namespace {

void report_sent(Session& session) {
  std::cout << "sent " << sent_line(session.record()) << " to " << session.port().label << '\n';
}

}  // namespace

int run_set(const CommonOptions& options, const Setting& setting,
            const std::vector<std::string>& arguments, Limits limits) {
  const std::vector<int32_t> values = parse_arguments(setting, arguments, limits);
  Session session(options);
  session.address(options.address, reply_timeout(options, 0));
  session.check(setting.send(&session.record(), values), "set " + std::string(setting.name));
  report_sent(session);
  return kExitOk;
}

int run_print(const CommonOptions& options, const std::string& text) {
  check_print_text(text, options.address.size());
  Session session(options);
  session.address(options.address, reply_timeout(options, 0));
  ModuleRecord& record = session.record();
  std::memset(record.MessageText, 0, sizeof record.MessageText);
  text.copy(record.MessageText, BT_MESSAGE_LEN - 1);
  session.check(btPrint(&record), "set print");
  report_sent(session);
  return kExitOk;
}

}  // namespace cli
