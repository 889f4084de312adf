// The default wait of the driver: one wake-up per quiet wait, yet input seen
// as it arrives and every deadline kept.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "port_guard.h"
#include "serial/serial_port.h"

namespace bt::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Times this thread gave up the processor to wait: one per wake-up of a
// blocking wait, whatever else loads the machine.
long voluntary_switches() {
  rusage usage{};
  getrusage(RUSAGE_THREAD, &usage);
  return usage.ru_nvcsw;
}

class IdleWaitTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(port_->status, 0); }

  FarEnd far_;
  PortGuard port_{open_first_port()};
  char line_[100] = {};
};

TEST_F(IdleWaitTest, QuietWaitsLastTheirTimeWithoutWakingEachMillisecond) {
  for (const bool delay : {false, true}) {
    SCOPED_TRACE(delay ? "port_delay" : "port_read_line");
    const long switches = voluntary_switches();
    const auto start = Clock::now();
    EXPECT_EQ(delay ? port_delay(port_.get(), 200)
                    : port_read_line(port_.get(), line_, sizeof line_, 13, 200),
              delay ? 0 : kBufferEmpty);
    const auto took = Clock::now() - start;
    // Ticks are whole milliseconds, so a wait may end up to 1 ms early.
    EXPECT_GE(took, 199ms);
    EXPECT_LT(took, 3s);
    // Waking every millisecond would give about 200.
    EXPECT_LT(voluntary_switches() - switches, 20);
  }
}

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

TEST_F(IdleWaitTest, DelayWithUnreadInputSleepsItsTimeAndKeepsTheInput) {
  far_.send("stale\r");
  const auto settle = Clock::now() + 5s;
  while (port_->ops->rx_count(*port_) < 6 && Clock::now() < settle) {
    std::this_thread::sleep_for(1ms);
  }
  const long switches = voluntary_switches();
  const auto start = Clock::now();
  EXPECT_EQ(port_delay(port_.get(), 50), 0);
  EXPECT_GE(Clock::now() - start, 49ms);
  // Polling a readable port returns at once without giving up the processor;
  // the delay must sleep its milliseconds instead of spinning through them.
  EXPECT_GT(voluntary_switches() - switches, 20);
  EXPECT_EQ(port_read_line(port_.get(), line_, sizeof line_, 13, 1000), 0);
  EXPECT_STREQ(line_, "stale");
}

}  // namespace
}  // namespace bt::test
