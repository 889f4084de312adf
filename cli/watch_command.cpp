// SPDX-License-Identifier: MIT
// `watch QUERY`: one sample per interval, a line each (CSV with a time column,
// or JSON lines), for logging and plotting. SIGINT and SIGTERM are held back
// while a transaction runs and end the watch after it (exit 130 or 143), the
// port closed and every sample written; so does an output that takes no more.
#include <time.h>

#include <chrono>
#include <iostream>

#include "commands.h"
#include "stop_signals.h"

namespace cli {

// The tool is built on the tools' common library.
using namespace toolkit;

namespace {

using Clock = std::chrono::steady_clock;

// ISO 8601 local time with milliseconds and the offset: 2026-12-07T17:30:01.123+01:00.
std::string iso_time(std::chrono::system_clock::time_point when) {
  const auto since = when.time_since_epoch();
  const time_t seconds = std::chrono::duration_cast<std::chrono::seconds>(since).count();
  const long ms = std::chrono::duration_cast<std::chrono::milliseconds>(since).count() % 1000;
  tm local{};
  localtime_r(&seconds, &local);
  char date[32], zone[8];
  strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &local);
  strftime(zone, sizeof zone, "%z", &local);
  char text[64];
  std::snprintf(text, sizeof text, "%s.%03ld%.3s:%s", date, ms, zone, zone + 3);
  return text;
}

}  // namespace

int run_watch(const CommonOptions& options, const Query& query, const WatchPlan& plan) {
  StopSignals stops;
  Session session(options);
  session.address(options.address,
                  reply_timeout(options, exchange_chars(query, options.address.size())));
  const auto interval =
      std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(plan.interval_s));
  ExitCode result = kExitOk;
  if (!plan.json) {
    Json columns = Json{{"time", ""}};
    columns.update(record_fields(session.record(), query.fields));
    std::cout << csv_header(columns) << '\n';
    flush_or_fail(std::cout);  // nothing is sampled for an output that takes nothing
  }
  int stopped = 0;
  auto next = Clock::now();
  for (long n = 0; plan.count == 0 || n < plan.count; ++n) {
    stopped = n > 0 ? stops.wait_until(next) : stops.taken();
    if (stopped != 0) break;
    const auto taken = std::chrono::system_clock::now();
    next = Clock::now() + interval;
    const int16_t status = query.call(&session.record());
    try {
      session.check(status, std::string(query.name));
    } catch (const Failure& failure) {
      // A silent or garbled sample leaves a gap in the log; a port that has
      // gone ends the watch.
      if (failure.code() == kExitPortFailed || failure.code() == kExitVersion) throw;
      std::cerr << "brimtally: " << failure.what() << std::endl;
      result = failure.code();
      continue;
    }
    Json sample = Json::object();
    sample["time"] = iso_time(taken);
    sample.update(record_fields(session.record(), query.fields));
    std::cout << (plan.json ? sample.dump() : csv_row(sample)) << '\n';
    flush_or_fail(std::cout);
  }
  return stopped != 0 ? StopSignals::exit_code(stopped) : result;
}

}  // namespace cli
