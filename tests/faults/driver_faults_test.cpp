// The driver codes behind the library's refusals, against the real simulator:
// a port another process holds, a device that does not exist, a far end that
// stops reading, and one that has gone.
#include <gtest/gtest.h>
#include <signal.h>

#include <string>

#include "serial/serial_port.h"
#include "sim_process.h"

namespace {

struct OpenedPort {
  explicit OpenedPort(const std::string& device) {
    setenv("BRIMTALLY_COM1", device.c_str(), 1);
    port = bt::port_open(0, 9600, 'N', 8, 1);
  }
  ~OpenedPort() { port->ops->close(*port); }
  bt::SerialPort* port;
};

TEST(DriverFaults, HeldAbsentAndGoneDevicesEachHaveTheirOwnCode) {
  simtest::SimProcess sim{{"--no-banner"}};
  {
    OpenedPort first(sim.device());
    ASSERT_EQ(first.port->status, bt::kPortOk);
    OpenedPort second(sim.device());  // the lock belongs to the open, not the process
    EXPECT_EQ(second.port->status, bt::kInUse);
  }
  {
    OpenedPort absent(sim.scratch("absent"));
    EXPECT_EQ(absent.port->status, bt::kNoDevice);
  }

  // A far end that has gone: the write fails as the device's loss, not as a
  // full queue that a caller might wait out.
  OpenedPort port(sim.device());
  ASSERT_EQ(port.port->status, bt::kPortOk);
  ASSERT_EQ(sim.control("fault vanish"), "ok vanish");
  const std::string line = "#00 01 QI\n\r";
  EXPECT_EQ(port.port->ops->write_block(*port.port, line.data(), static_cast<int>(line.size())),
            bt::kGeneralError);
  EXPECT_EQ(port.port->status, bt::kGeneralError);
  EXPECT_EQ(port.port->count, 0);
}

TEST(DriverFaults, AFarEndThatStopsReadingGivesAFullQueueAndKeepsWhatWasQueued) {
  simtest::SimProcess sim{{"--no-banner"}};
  OpenedPort port(sim.device());
  ASSERT_EQ(port.port->status, bt::kPortOk);
  ASSERT_EQ(kill(sim.pid(), SIGSTOP), 0);
  const std::string block(1000, 'X');
  int queued = 0, result = 0;
  for (int i = 0; i < 200 && result == 0; ++i) {
    result = port.port->ops->write_block(*port.port, block.data(), static_cast<int>(block.size()));
    queued += port.port->count;
  }
  EXPECT_EQ(result, bt::kBufferFull);
  EXPECT_EQ(port.port->status, bt::kBufferFull);
  EXPECT_LT(port.port->count, static_cast<int>(block.size()));
  EXPECT_GT(queued, 1000);
  ASSERT_EQ(kill(sim.pid(), SIGCONT), 0);
}

}  // namespace
