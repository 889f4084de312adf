// `watch QUERY`: one sample per interval, a line each (CSV with a time column,
// or JSON lines), for logging and plotting. SIGINT and SIGTERM are held back
// while a transaction runs and end the watch after it, the port closed and
// every sample written.
#include <signal.h>
#include <time.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <iostream>

#include "commands.h"

namespace cli {

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

// Waits until `deadline`; false when a stop signal came first.
bool wait_until(Clock::time_point deadline, const sigset_t& stops) {
  for (;;) {
    const auto left = deadline - Clock::now();
    if (left <= Clock::duration::zero()) return true;
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
    const timespec wait{static_cast<time_t>(ns / 1'000'000'000),
                        static_cast<long>(ns % 1'000'000'000)};
    if (sigtimedwait(&stops, nullptr, &wait) >= 0) return false;
    if (errno != EAGAIN && errno != EINTR) return true;
  }
}

bool stop_pending() {
  sigset_t pending;
  sigpending(&pending);
  return sigismember(&pending, SIGINT) == 1 || sigismember(&pending, SIGTERM) == 1;
}

}  // namespace

int run_watch(const CommonOptions& options, const Query& query, const WatchPlan& plan) {
  sigset_t stops;
  sigemptyset(&stops);
  sigaddset(&stops, SIGINT);
  sigaddset(&stops, SIGTERM);
  sigprocmask(SIG_BLOCK, &stops, nullptr);

  Session session(options);
  session.address(options.address,
                  reply_timeout(options, exchange_chars(query, options.address.size())));
  const auto interval =
      std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(plan.interval_s));
  ExitCode result = kExitOk;
  if (!plan.json) {
    Json columns = Json{{"time", ""}};
    columns.update(record_fields(session.record(), query.fields));
    std::cout << csv_header(columns) << std::endl;
  }
  auto next = Clock::now();
  for (long n = 0; plan.count == 0 || n < plan.count; ++n) {
    if (n > 0 && !wait_until(next, stops)) break;
    if (stop_pending()) break;
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
    if (plan.json) {
      std::cout << sample.dump() << std::endl;
    } else {
      std::cout << csv_row(sample) << std::endl;
    }
  }
  return result;
}

}  // namespace cli
