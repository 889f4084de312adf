// SPDX-License-Identifier: MIT
// The device itself failing under the real library: gone while a call waits
// or before it writes, or not reading. Each
// call ends within its deadline with its code, and the port (reopened where
// the device went away) serves the next transaction.
#include <signal.h>
#include <unistd.h>

#include <string>
#include <thread>

#include "library_faults.h"

namespace bt_test {
namespace {

using DeviceFaults = LibraryFaults;

TEST_F(DeviceFaults, VanishingWhileAQueryWaitsEndsTheWaitAtOnce) {
  // The reply is held far beyond a long time-out; the device goes while the
  // library waits for it.
  fault("delay 20000");
  record_.ReplyTimeout = 5000;
  const size_t commands = session_.logged("in").size();
  Clock::time_point vanished_at{};
  std::thread vanish([&] {
    if (!session_.wait_logged("in", commands + 1)) return;  // the query is out: now reading
    vanished_at = Clock::now();
    session_.sim().control("fault vanish");
  });
  EXPECT_EQ(faulted_query(), BT_NO_REPLY);
  const auto returned_at = Clock::now();
  vanish.join();
  ASSERT_NE(vanished_at, Clock::time_point{});
  // Hang-up ends the wait, not the 5 s time-out.
  EXPECT_LE(returned_at - vanished_at, std::chrono::milliseconds(500));
  EXPECT_EQ(changed(), Fields{"Status"});

  record_.ReplyTimeout = kReplyTimeoutMs;
  expect_dead_port();
  fault("off");
  return_and_reopen();
  expect_transaction_succeeds();
}

TEST_F(DeviceFaults, WritesToAVanishedDeviceReachNobodyAndAreReportedOnce) {
  ASSERT_EQ(session_.sim().control("fault vanish"), "ok vanish");

  // A setting reads no reply, so it cannot tell; it keeps its value and
  // returns on time, and the raw reader reports the failed write.
  before_ = record_;
  long ms = 0;
  EXPECT_EQ(timed(ms, [&] { return lib().btSetDigitalOut(&record_, 0x5A); }), BT_OK);
  EXPECT_LE(ms, kSendWaitsMs + kLateMs);
  EXPECT_EQ(changed(), (Fields{"CommandText", "DigitalOut"}));
  EXPECT_EQ(lib().ex_read_line(&record_), BT_READ_ERROR);

  std::strcpy(record_.MessageText, with_checksum("#?? 01 SO A5\n\r").c_str());
  EXPECT_EQ(lib().ex_xmit_msg(&record_), 14);
  EXPECT_EQ(timed(ms, [&] { return lib().ex_read_line(&record_); }), BT_READ_ERROR);
  EXPECT_LE(ms, record_.ReplyTimeout + kLateMs);
  expect_dead_port();

  return_and_reopen();
  expect_transaction_succeeds();
  for (const std::string& line : session_.logged("in")) {
    EXPECT_EQ(line.find(" SO "), std::string::npos) << line;
  }
}

TEST_F(DeviceFaults, AFarEndThatStopsReadingFailsAWriteWithoutBlockingIt) {
  // Lines the module ignores (wrong checksum), written while it is stopped,
  // until the kernel's queue is full and a write fails.
  ASSERT_EQ(kill(session_.sim().pid(), SIGSTOP), 0);
  const std::string filler = "#ZZ 01 QI " + std::string(86, 'X') + "\n\r";
  std::strcpy(record_.MessageText, filler.c_str());
  record_.ReplyTimeout = 0;
  int writes = 0;
  long slowest = 0;
  int16_t read = 0;
  while (writes < 2000 && read != BT_READ_ERROR) {
    long ms = 0;
    EXPECT_EQ(timed(ms, [&] { return lib().ex_xmit_msg(&record_); }),
              static_cast<int16_t>(filler.size()));
    slowest = std::max(slowest, ms);
    ++writes;
    read = lib().ex_read_line(&record_);
  }
  EXPECT_EQ(read, BT_READ_ERROR) << writes << " lines written without a failure";
  EXPECT_LE(slowest, kLateMs);
  // Reported once: the next read finds nothing rather than the same error.
  EXPECT_EQ(lib().ex_read_line(&record_), 0);
  ASSERT_EQ(kill(session_.sim().pid(), SIGCONT), 0);
  // Two control round trips: the simulator has been round its loop, and so
  // has read all that was waiting, since.
  session_.sim().control("state");
  session_.sim().control("state");

  // The client ends the line it could not finish, so the module's next
  // line starts clean.
  std::strcpy(record_.MessageText, "\r");
  EXPECT_EQ(lib().ex_xmit_msg(&record_), 1);
  EXPECT_EQ(lib().ex_read_line(&record_), 0);  // the write went through
  record_.ReplyTimeout = kReplyTimeoutMs;
  expect_transaction_succeeds();
}

}  // namespace
}  // namespace bt_test
