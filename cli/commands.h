// SPDX-License-Identifier: MIT
// The tool's commands. Each returns the exit code or throws Failure.
#ifndef BRIMTALLY_CLI_COMMANDS_H
#define BRIMTALLY_CLI_COMMANDS_H

#include <string>
#include <vector>

#include "output_format.h"
#include "queries.h"
#include "session.h"
#include "settings.h"

namespace cli {

// The tool is built on the tools' common library.
using namespace toolkit;

// The reply time-out: --timeout, or the wire time of `chars` characters at
// the baud plus the module's turnaround.
int reply_timeout(const CommonOptions& options, int chars);

int run_ports(bool json);
int run_get(const CommonOptions& options, const Query& query, Format format);
int run_set(const CommonOptions& options, const Setting& setting,
            const std::vector<std::string>& arguments, Limits limits);
int run_print(const CommonOptions& options, const std::string& text);
// lines < 0: every line until the time-out.
int run_send(const CommonOptions& options, const std::string& text, int lines);

struct ScanRange {
  std::string from = "00";
  std::string to = "FF";
};
int run_scan(const CommonOptions& options, const ScanRange& range, bool json);

struct WatchPlan {
  double interval_s = 1.0;
  long count = 0;  // 0: until interrupted
  bool json = false;
};
int run_watch(const CommonOptions& options, const Query& query, const WatchPlan& plan);

}  // namespace cli

#endif  // BRIMTALLY_CLI_COMMANDS_H
