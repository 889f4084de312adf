// SPDX-License-Identifier: MIT
// The default wait of the driver: input seen as it arrives, whether or not the
// wait has a deadline, and no wait ending early. (What a wait costs is
// measured by serial_wait_bench.)
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "port_guard.h"
#include "serial/serial_port.h"

namespace bt::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

class IdleWaitTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(port_->status, 0); }

  FarEnd far_;
  PortGuard port_{open_first_port()};
  char line_[100] = {};
};

TEST_F(IdleWaitTest, LineArrivingDuringALongOrUnlimitedWaitEndsItAtOnce) {
  for (const int32_t limit : {10000, -1}) {
    SCOPED_TRACE(limit);
    line_[0] = '\0';
    // The CR comes alone: a single byte must wake the wait as well.
    std::thread sender([this] {
      std::this_thread::sleep_for(100ms);
      far_.send("late");
      std::this_thread::sleep_for(100ms);
      far_.send("\r");
    });
    const auto start = Clock::now();
    const int result = port_read_line(port_.get(), line_, sizeof line_, 13, limit);
    const auto took = Clock::now() - start;
    sender.join();
    EXPECT_EQ(result, 0);
    EXPECT_STREQ(line_, "late");
    // Sleeping to the deadline would take the whole 10 s.
    EXPECT_LT(took, 5s);
  }
}

// Waits are timed in microseconds: none may end early, not even by the part of
// a millisecond a coarser tick would lose, whether input waits unread or not.
TEST_F(IdleWaitTest, DelaysAndLineTimeOutsNeverEndBeforeTheirTime) {
  const auto delay = [this](int ms) {
    const auto start = Clock::now();
    EXPECT_EQ(port_delay(port_.get(), ms), 0);
    return Clock::now() - start;
  };
  const auto time_out = [this](int ms) {
    const auto start = Clock::now();
    EXPECT_EQ(port_read_line(port_.get(), line_, sizeof line_, 13, ms), kBufferEmpty);
    return Clock::now() - start;
  };
  for (const bool input_waiting : {false, true}) {
    SCOPED_TRACE(input_waiting);
    if (input_waiting) {
      far_.send("unread");
      std::this_thread::sleep_for(20ms);
    }
    for (const int ms : {1, 2, 5}) {
      for (int i = 0; i < 10; ++i) EXPECT_GE(delay(ms), std::chrono::milliseconds(ms));
    }
  }
  ASSERT_EQ(port_read_line(port_.get(), line_, sizeof line_, 13, 0), kBufferEmpty);
  EXPECT_STREQ(line_, "unread");
  for (const int ms : {1, 3}) {
    for (int i = 0; i < 10; ++i) EXPECT_GE(time_out(ms), std::chrono::milliseconds(ms));
  }
}

}  // namespace
}  // namespace bt::test
