// SPDX-License-Identifier: MIT
// Line reading and writing against a real pseudo-terminal.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "port_guard.h"
#include "serial/serial_port.h"

namespace bt::test {
namespace {

using namespace std::chrono_literals;

// Pseudo-terminals hand bytes over asynchronously; a time-out test must only
// start once its input is really there.
void wait_for_input(SerialPort* port, int count) {
  const auto deadline = std::chrono::steady_clock::now() + 5s;
  while (port->ops->rx_count(*port) < count && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(1ms);
  }
  ASSERT_GE(port->ops->rx_count(*port), count);
}

class LineIoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(port_->status, 0);
    ASSERT_EQ(port_->driver_kind, kDriverKindPosix);
  }
  void TearDown() override { set_idle_hook(nullptr); }

  FarEnd far_;
  PortGuard port_{open_first_port()};
};

TEST_F(LineIoTest, EachTerminatorKindEndsTheLineWhereItShould) {
  // 13: the first CR ends the line; the LF after it begins the next one.
  far_.send("AB\r\nCD\r");
  ReadResult r = read_line(port_.get(), 13);
  EXPECT_EQ(r.result, 0);
  EXPECT_EQ(r.line, "AB");
  EXPECT_EQ(r.count, 2);
  EXPECT_EQ(read_line(port_.get(), 13).line, "\nCD");

  // -1 and -2: only CR LF ends the line; lone CR or LF stay in the text.
  far_.send("A\rB\r\nA\nB\r\n");
  r = read_line(port_.get(), -1);
  EXPECT_EQ(r.line, "A\rB");
  EXPECT_EQ(r.count, 3);
  EXPECT_EQ(read_line(port_.get(), -2).line, "A\nB");

  // Any other byte ends the line, and a CR just before it stays in the text.
  far_.send("AB\r\nnode>rest\r");
  r = read_line(port_.get(), 10);
  EXPECT_EQ(r.line, "AB\r");
  EXPECT_EQ(r.count, 3);
  EXPECT_EQ(read_line(port_.get(), '>').line, "node");
  EXPECT_EQ(read_line(port_.get(), 13).line, "rest");
}

TEST_F(LineIoTest, TimeOutReturnsWhatArrivedAndAnyEndReturnsTheStickyStatus) {
  port_->status = kBufferFull;  // an earlier failure must survive a time-out
  ReadResult r = read_line(port_.get(), 13, 50);
  EXPECT_EQ(r.result, kBufferEmpty);
  EXPECT_EQ(r.line, "");
  EXPECT_EQ(r.count, 0);
  EXPECT_EQ(port_->status, kBufferFull);
  port_->ops->clear_status(*port_);

  // A held CR may still begin CR LF for -1, so it is dropped; for a byte
  // terminator it is text.
  for (const auto& [terminator, line] : {std::pair<int, std::string>{-1, "AB"}, {10, "AB\r"}}) {
    SCOPED_TRACE(terminator);
    far_.send("AB\r");
    wait_for_input(port_.get(), 3);
    r = read_line(port_.get(), terminator, 50);
    EXPECT_EQ(r.result, kBufferEmpty);
    EXPECT_EQ(r.line, line);
    EXPECT_EQ(r.count, static_cast<int32_t>(line.size()));
    EXPECT_EQ(port_->status, 0);
  }

  // A line that does arrive returns the sticky status, and so does a write.
  port_->status = kBufferFull;
  far_.send("OK\r");
  r = read_line(port_.get(), 13);
  EXPECT_EQ(r.line, "OK");
  EXPECT_EQ(r.result, kBufferFull);
  EXPECT_EQ(port_write_string(port_.get(), "X", -1), kBufferFull);
}

TEST_F(LineIoTest, TheWholeLineMustArriveWithinTheTimeOut) {
  // One byte every 25 ms, the line's CR only after 500 ms: every gap is far
  // inside the 150 ms time-out, the line as a whole is not.
  std::thread dribble([this] {
    for (int i = 0; i < 20; ++i) {
      std::this_thread::sleep_for(25ms);
      far_.send(i < 19 ? "D" : "\r");
    }
  });
  const ReadResult r = read_line(port_.get(), 13, 150);
  dribble.join();
  EXPECT_EQ(r.result, kBufferEmpty);
  EXPECT_LT(r.line.size(), 19u);
}

TEST_F(LineIoTest, OverflowKeepsTheRestOfTheLineForTheNextRead) {
  far_.send("ABC\r");
  ReadResult r = read_line(port_.get(), 13, 2000, 3);
  EXPECT_EQ(r.result, kUserBufferOverflow);
  EXPECT_EQ(port_->status, kUserBufferOverflow);
  EXPECT_EQ(r.line, "AB");
  EXPECT_EQ(r.count, 2);
  port_->ops->clear_status(*port_);
  r = read_line(port_.get(), 13);
  EXPECT_EQ(r.result, 0);
  EXPECT_EQ(r.line, "C");

  // A held CR that no longer fits goes back too, with the byte after it.
  far_.send("AB\rX\r\n");
  EXPECT_EQ(read_line(port_.get(), -1, 2000, 3).result, kUserBufferOverflow);
  port_->ops->clear_status(*port_);
  r = read_line(port_.get(), -1);
  EXPECT_EQ(r.result, 0);
  EXPECT_EQ(r.line, "\rX");
}

TEST_F(LineIoTest, BadArgumentsAreRefusedWithTheBufferUntouched) {
  far_.send("AB\r");
  wait_for_input(port_.get(), 3);
  for (const auto& [capacity, terminator] :
       {std::pair<uint32_t, int>{0, 13}, {1, 13}, {100, 256}, {100, -3}}) {
    char buffer[8];
    std::memset(buffer, 'Z', sizeof buffer);
    port_->ops->clear_status(*port_);
    EXPECT_EQ(port_read_line(port_.get(), buffer, capacity, terminator, 100), kInvalidParameter);
    EXPECT_EQ(port_->status, kInvalidParameter);
    EXPECT_EQ(std::string(buffer, sizeof buffer), std::string(8, 'Z'));
  }
  // Nothing was consumed by the refusals.
  EXPECT_EQ(port_->ops->rx_count(*port_), 3);

  port_->ops->clear_status(*port_);
  EXPECT_EQ(port_write_string(port_.get(), "QC", 256), kInvalidParameter);
  EXPECT_EQ(port_write_string(port_.get(), "QC", -3), kInvalidParameter);
  EXPECT_EQ(port_->status, kInvalidParameter);
  EXPECT_EQ(far_.receive(1, 200ms), "");
}

TEST_F(LineIoTest, WriteAppendsTheTerminatorOnlyWhenAllFits) {
  EXPECT_EQ(port_write_string(port_.get(), "QC", -2), 0);
  EXPECT_EQ(far_.receive(4), "QC\r\n");
  EXPECT_EQ(port_write_string(port_.get(), "SP 3E8 1F4", -1), 0);
  EXPECT_EQ(port_write_string(port_.get(), "A", 13), 0);
  EXPECT_EQ(port_write_string(port_.get(), "B", 0), 0);
  EXPECT_EQ(far_.receive(14), std::string("SP 3E8 1F4A\rB\0", 14));
  EXPECT_EQ(far_.receive(1, 100ms), "");

  // Beyond the queue's room: what fits is queued, and no terminator.
  const std::string big(1500, 'x');
  EXPECT_EQ(port_write_string(port_.get(), big.c_str(), 13), kBufferFull);
  EXPECT_EQ(port_->count, 1050);
  EXPECT_EQ(port_->status, kBufferFull);
  EXPECT_EQ(far_.receive(1050), std::string(1050, 'x'));
  EXPECT_EQ(far_.receive(1, 100ms), "");
}

TEST_F(LineIoTest, NegativeIdleHookAbortsTheWait) {
  static int calls;
  calls = 0;
  set_idle_hook([](SerialPort*) { return ++calls < 3 ? 0 : -16; });
  const ReadResult r = read_line(port_.get(), 13, -1);
  EXPECT_EQ(r.result, -16);
  EXPECT_EQ(calls, 3);
  EXPECT_EQ(port_->status, 0);
  calls = 0;
  EXPECT_EQ(port_delay(port_.get(), 60000), -16);
}

TEST_F(LineIoTest, FarEndClosingFailsTheReadInsteadOfWaiting) {
  static int idle_calls;
  idle_calls = 0;
  // Should the dead device read as "nothing waiting", this ends the wait with
  // a value the test can tell apart from the failure.
  set_idle_hook([](SerialPort*) { return ++idle_calls < 2000 ? 0 : -16; });
  far_.send("partial");
  wait_for_input(port_.get(), 7);
  // The kernel discards unread input when the master side goes.
  far_.hang_up();
  const ReadResult r = read_line(port_.get(), 13, -1);
  EXPECT_EQ(r.result, kGeneralError);
  EXPECT_EQ(port_->status, kGeneralError);
  EXPECT_LT(idle_calls, 2000);

  // A write fails the same way: never as a full queue a caller might wait out.
  port_->ops->clear_status(*port_);
  EXPECT_EQ(port_write_string(port_.get(), "#00 01 QI\n\r", -1), kGeneralError);
  EXPECT_EQ(port_->count, 0);
}

}  // namespace
}  // namespace bt::test
