// The device itself failing under the real library: gone while a call waits
// or before it writes, held by another process, absent, or not reading. Each
// call ends within its deadline with its code, and the port (reopened where
// the device went away) serves the next transaction.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <set>
#include <string>
#include <thread>

#include "record_diff.h"
#include "sim_session.h"

namespace bt_test {
namespace {

using Fields = std::set<std::string>;

const Exports& lib() {
  return SimSession::lib();
}

void expect_transaction_succeeds(ModuleRecord& record) {
  record.DigitalIn = -1;
  long ms = 0;
  EXPECT_EQ(timed(ms, [&] { return lib().btGetDigitalIn(&record); }), BT_OK) << record.ReplyText;
  EXPECT_EQ(record.DigitalIn, 0x3C);
  EXPECT_LE(ms, query_deadline(record) + kLateMs);
}

// A query on a port that cannot answer: no reply, nothing but Status
// changed, within its deadline; the raw reader reports the error.
void expect_dead_port(ModuleRecord& record) {
  record.DigitalIn = -1;
  record.Status = -1;
  std::strcpy(record.CommandText, with_checksum("#?? 01 QI\n\r").c_str());
  std::strcpy(record.ReplyText, "(before)");
  const ModuleRecord before = record;
  long ms = 0;
  EXPECT_EQ(timed(ms, [&] { return lib().btGetDigitalIn(&record); }), BT_NO_REPLY);
  EXPECT_LE(ms, query_deadline(record) + kLateMs);
  EXPECT_EQ(changed_fields(before, record), (Fields{"Status"}));
  EXPECT_EQ(timed(ms, [&] { return lib().ex_read_line(&record); }), BT_READ_ERROR);
  EXPECT_LE(ms, record.ReplyTimeout + kLateMs);
}

// Brings a vanished device back and opens it again under its new name.
void return_and_reopen(SimSession& session) {
  ASSERT_EQ(session.sim().control("fault return").rfind("ok return /dev/", 0), 0u);
  const auto path = session.sim().nextOutputLine(5000);
  ASSERT_TRUE(path.has_value());
  session.use_device(*path);
  long ms = 0;
  EXPECT_EQ(timed(ms, [] { return lib().btPortOpen(1, 9600); }), BT_OK);
  EXPECT_LE(ms, kLateMs);
}

TEST(DeviceFaults, VanishingWhileAQueryWaitsEndsTheWaitAtOnce) {
  SimSession session;
  ModuleRecord record = session_record();
  ASSERT_EQ(lib().btPortOpen(1, 9600), BT_OK);
  expect_transaction_succeeds(record);

  // The reply is held far beyond a long time-out; the device goes while the
  // library waits for it.
  ASSERT_EQ(session.sim().control("fault delay 20000"), "ok fault delay 20000");
  record.ReplyTimeout = 5000;
  const size_t commands = session.logged("in").size();
  Clock::time_point vanished_at{};
  std::thread vanish([&] {
    if (!session.wait_logged("in", commands + 1)) return;  // the query is out: now reading
    vanished_at = Clock::now();
    session.sim().control("fault vanish");
  });
  record.DigitalIn = -1;
  std::strcpy(record.ReplyText, "(before)");
  const ModuleRecord before = record;
  EXPECT_EQ(lib().btGetDigitalIn(&record), BT_NO_REPLY);
  const auto returned_at = Clock::now();
  vanish.join();
  ASSERT_NE(vanished_at, Clock::time_point{});
  // Hang-up ends the wait, not the 5 s time-out.
  EXPECT_LE(
      std::chrono::duration_cast<std::chrono::milliseconds>(returned_at - vanished_at).count(),
      500);
  EXPECT_EQ(changed_fields(before, record), (Fields{"Status"}));

  record.ReplyTimeout = kReplyTimeoutMs;
  expect_dead_port(record);
  ASSERT_EQ(session.sim().control("fault off"), "ok fault off");
  return_and_reopen(session);
  expect_transaction_succeeds(record);
}

TEST(DeviceFaults, WritesToAVanishedDeviceReachNobodyAndAreReportedOnce) {
  SimSession session;
  ModuleRecord record = session_record();
  ASSERT_EQ(lib().btPortOpen(1, 9600), BT_OK);
  expect_transaction_succeeds(record);
  ASSERT_EQ(session.sim().control("fault vanish"), "ok vanish");

  // A setting reads no reply, so it cannot tell; it keeps its value and
  // returns on time, and the raw reader reports the failed write.
  const ModuleRecord before = record;
  long ms = 0;
  EXPECT_EQ(timed(ms, [&] { return lib().btSetDigitalOut(&record, 0x5A); }), BT_OK);
  EXPECT_LE(ms, kSendWaitsMs + kLateMs);
  EXPECT_EQ(changed_fields(before, record), (Fields{"CommandText", "DigitalOut"}));
  EXPECT_EQ(lib().ex_read_line(&record), BT_READ_ERROR);

  std::strcpy(record.MessageText, with_checksum("#?? 01 SO A5\n\r").c_str());
  EXPECT_EQ(lib().ex_xmit_msg(&record), 14);
  EXPECT_EQ(timed(ms, [&] { return lib().ex_read_line(&record); }), BT_READ_ERROR);
  EXPECT_LE(ms, record.ReplyTimeout + kLateMs);
  expect_dead_port(record);

  return_and_reopen(session);
  expect_transaction_succeeds(record);
  for (const std::string& line : session.logged("in")) {
    EXPECT_EQ(line.find(" SO "), std::string::npos) << line;
  }
}

// Holds the device the way another program using it would: open and locked.
class OtherProcessHolding {
 public:
  explicit OtherProcessHolding(const std::string& device) {
    int ready[2], release[2];
    if (pipe(ready) != 0 || pipe(release) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(release[1]);  // or the read below never sees the end
      const int fd = open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
      const char ok = fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0 ? 'y' : 'n';
      if (write(ready[1], &ok, 1) != 1) _exit(1);
      char byte;
      while (read(release[0], &byte, 1) < 0) {
      }
      _exit(0);
    }
    close(ready[1]);
    close(release[0]);
    release_ = release[1];
    char ok = 'n';
    held_ = read(ready[0], &ok, 1) == 1 && ok == 'y';
    close(ready[0]);
  }
  ~OtherProcessHolding() { release(); }
  bool held() const { return held_; }
  void release() {
    if (release_ < 0) return;
    close(release_);  // the holder's read ends, and so does the holder
    release_ = -1;
    int status = 0;
    waitpid(pid_, &status, 0);
  }

 private:
  pid_t pid_ = -1;
  int release_ = -1;
  bool held_ = false;
};

TEST(DeviceFaults, APortHeldElsewhereOrAbsentIsRefusedAndTheNextOpenWorks) {
  SimSession session;
  ModuleRecord record = session_record();
  ASSERT_EQ(lib().btPortOpen(1, 9600), BT_OK);
  expect_transaction_succeeds(record);
  // Our own port goes first, so that the other process can take the device.
  EXPECT_EQ(lib().btPortClose(), 0);
  {
    OtherProcessHolding other(session.sim().device());
    ASSERT_TRUE(other.held());
    long ms = 0;
    EXPECT_EQ(timed(ms, [] { return lib().btPortOpen(1, 9600); }), BT_OPEN_FAILED);
    EXPECT_LE(ms, kLateMs);
    expect_dead_port(record);
  }
  EXPECT_EQ(lib().btPortOpen(1, 9600), BT_OK);
  expect_transaction_succeeds(record);

  session.use_device(session.sim().scratch("no-such-device"));
  EXPECT_EQ(lib().btPortOpen(1, 9600), BT_OPEN_FAILED);
  expect_dead_port(record);
  session.use_device(session.sim().device());
  EXPECT_EQ(lib().btPortOpen(1, 9600), BT_OK);
  expect_transaction_succeeds(record);
}

TEST(DeviceFaults, AFarEndThatStopsReadingFailsAWriteWithoutBlockingIt) {
  SimSession session;
  ModuleRecord record = session_record();
  ASSERT_EQ(lib().btPortOpen(1, 9600), BT_OK);
  expect_transaction_succeeds(record);

  // Lines the module ignores (wrong checksum), written while it is stopped,
  // until the kernel's queue is full and a write fails.
  ASSERT_EQ(kill(session.sim().pid(), SIGSTOP), 0);
  const std::string filler = "#ZZ 01 QI " + std::string(86, 'X') + "\n\r";
  std::strcpy(record.MessageText, filler.c_str());
  record.ReplyTimeout = 0;
  int writes = 0;
  long slowest = 0;
  int16_t read = 0;
  while (writes < 2000 && read != BT_READ_ERROR) {
    long ms = 0;
    EXPECT_EQ(timed(ms, [&] { return lib().ex_xmit_msg(&record); }),
              static_cast<int16_t>(filler.size()));
    slowest = std::max(slowest, ms);
    ++writes;
    read = lib().ex_read_line(&record);
  }
  EXPECT_EQ(read, BT_READ_ERROR) << writes << " lines written without a failure";
  EXPECT_LE(slowest, kLateMs);
  // Reported once: the next read finds nothing rather than the same error.
  EXPECT_EQ(lib().ex_read_line(&record), 0);
  ASSERT_EQ(kill(session.sim().pid(), SIGCONT), 0);
  // Two control round trips: the simulator has been round its loop, and so
  // has read all that was waiting, since.
  session.sim().control("state");
  session.sim().control("state");

  // The client ends the line it could not finish, so the module's next
  // line starts clean.
  std::strcpy(record.MessageText, "\r");
  EXPECT_EQ(lib().ex_xmit_msg(&record), 1);
  EXPECT_EQ(lib().ex_read_line(&record), 0);  // the write went through
  record.ReplyTimeout = kReplyTimeoutMs;
  expect_transaction_succeeds(record);
}

}  // namespace
}  // namespace bt_test
