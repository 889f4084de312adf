// SPDX-License-Identifier: MIT
// `scan`: which addresses on the line answer. Each address costs one short
// query (QC), so a silent one costs the library's send procedure (80 ms) and
// one time-out. Ctrl-C or SIGTERM ends it after the current address, with
// what was found printed.
#include <unistd.h>

#include <cstdio>
#include <iostream>

#include "commands.h"
#include "network_name.h"
#include "stop_signals.h"

namespace cli {

// The tool is built on the tools' common library.
using namespace toolkit;

namespace {

// The scan's own short verdicts, which scripts match.
const char* reply_verdict(int16_t status) {
  switch (status) {
    case BT_OK:
      return "ok";
    case BT_NOT_A_REPLY:
      return "not a reply";
    case BT_BAD_CHECKSUM:
      return "wrong checksum";
    case BT_WRONG_ADDRESS:
      return "another address";
    default:
      return "malformed";
  }
}

int parse_address(const std::string& text, const char* option) {
  if (text.empty() || text.size() > 2 ||
      text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
    throw Failure(kExitUsage, std::string(option) + " " + shown_value(text) +
                                  ": give a hexadecimal address 00 to FF (one digit means 0X)");
  }
  return static_cast<int>(std::stoul(text, nullptr, 16));
}

void write_found(const Json& found, bool json) {
  if (json) {
    std::cout << found.dump() << '\n';
  } else {
    write_columns(std::cout, found);
  }
}

}  // namespace

int run_scan(const CommonOptions& options, const ScanRange& range, bool json) {
  const int from = parse_address(range.from, "--from");
  const int to = parse_address(range.to, "--to");
  if (from > to) {
    throw Failure(kExitUsage, "--from " + range.from + " lies after --to " + range.to +
                                  "; give the lower address first");
  }
  StopSignals stops;
  Session session(options);
  const Query& query = *find_query("configuration");
  const int timeout = reply_timeout(options, exchange_chars(query, 2));
  const bool progress = isatty(STDERR_FILENO) == 1;

  Json found = Json::array();
  int stopped = 0;
  try {
    for (int a = from; a <= to && (stopped = stops.taken()) == 0; ++a) {
      char address[3];
      std::snprintf(address, sizeof address, "%02X", a);
      if (progress) {
        std::fprintf(stderr, "\rscanning %s (%02X to %02X), %zu found ", address, from, to,
                     found.size());
      }
      session.address(address, timeout);
      const int16_t status = query.call(&session.record());
      if (status == BT_NO_REPLY || status == BT_READ_ERROR) {
        if (session.device_gone()) throw session.gone_failure();
        if (status == BT_NO_REPLY) continue;
      }
      if (status == BT_WRONG_VERSION || status == BT_NO_PORT) session.check(status, "scan");
      Json row = Json::object();
      row["address"] = address;
      row["ConfigBits"] = status == BT_OK ? Json(session.record().ConfigBits) : Json();
      row["reply"] = reply_verdict(status);
      found.push_back(row);
    }
  } catch (const Failure&) {
    // What was found before the port failed is still news.
    if (progress) std::fprintf(stderr, "\r\033[K");
    if (!found.empty()) write_found(found, json);
    flush_or_fail(std::cout);
    throw;
  }
  if (progress) std::fprintf(stderr, "\r\033[K");
  // A signal during the last address counts too; and the list is out before
  // the signals act again.
  if (stopped == 0) stopped = stops.taken();
  write_found(found, json);
  flush_or_fail(std::cout);
  if (stopped != 0) return StopSignals::exit_code(stopped);
  if (found.empty()) {
    throw Failure(kExitNoReply, session.port().label + ": no module answered from " + range.from +
                                    " to " + range.to + " within " + std::to_string(timeout) +
                                    " ms each; check the wiring and --baud, or raise --timeout");
  }
  return kExitOk;
}

}  // namespace cli
