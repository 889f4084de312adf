// SPDX-License-Identifier: MIT
// Opening, exclusivity, settings, queues and closing of ports on real
// pseudo-terminals.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "port_guard.h"
#include "serial/posix/posix_device.h"
#include "serial/serial_port.h"

namespace bt::test {
namespace {

using namespace std::chrono_literals;

termios applied(SerialPort* port) {
  termios tio{};
  EXPECT_EQ(tcgetattr(posix_device_of(*port).fd, &tio), 0);
  return tio;
}

uint32_t applied_rate(SerialPort* port) {
  uint32_t baud = 0;
  EXPECT_EQ(get_line_rate(posix_device_of(*port).fd, baud), 0);
  return baud;
}

TEST(PortOpen, OpensTheNamedDeviceRawWithLinesAndQueuesReady) {
  FarEnd far;
  PortGuard port(open_first_port(19200));
  ASSERT_EQ(port->status, 0);
  EXPECT_EQ(port->port_index, 0);
  EXPECT_EQ(port->driver_kind, kDriverKindPosix);
  EXPECT_EQ(port_live_head(), port.get());
  EXPECT_EQ(port->environment, port_environment());

  const termios tio = applied(port.get());
  EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0u);
  EXPECT_EQ(tio.c_iflag & (ICRNL | IXON), 0u);
  EXPECT_EQ(tio.c_oflag & OPOST, 0u);
  EXPECT_EQ(tio.c_cflag & (PARODD | CSTOPB | CRTSCTS), 0u);
  EXPECT_EQ(applied_rate(port.get()), 19200u);

  EXPECT_EQ(port->ops->tx_count(*port), 0);
  EXPECT_EQ(port->ops->tx_free(*port), 1050);
  far.send("12345");
  while (port->ops->rx_count(*port) < 5) std::this_thread::sleep_for(1ms);
  EXPECT_EQ(port->ops->rx_free(*port), 1045);
  EXPECT_EQ(port->ops->clear_tx(*port), 0);
  EXPECT_EQ(port->status, 0);
}

TEST(PortOpen, FailuresLeaveAnObjectWithDefaultOperations) {
  setenv("BRIMTALLY_COM1", "/nonexistent/tty", 1);
  PortGuard missing(open_first_port());
  EXPECT_EQ(missing->status, kNoDevice);
  EXPECT_EQ(missing->device, nullptr);
  EXPECT_EQ(times_listed(missing.get()), 1);

  // Not a terminal at all.
  setenv("BRIMTALLY_COM1", "/dev/null", 1);
  PortGuard not_tty(open_first_port());
  EXPECT_EQ(not_tty->status, kGeneralError);

  // Every default operation answers "not supported", sticky in the status,
  // and so do the line routines built on them.
  SerialPort& port = *missing;
  uint8_t byte = 0;
  EXPECT_EQ(port.ops->read_block(port, &byte, 1), kNotSupported);
  EXPECT_EQ(port.ops->set_params(port, 9600, 'N', 8, 1), kNotSupported);
  EXPECT_EQ(port_write_string(&port, "QC", -1), kNotSupported);
  EXPECT_EQ(port.ops->clear_status(port), &port);
  EXPECT_EQ(port.status, 0);
  char line[8];
  EXPECT_EQ(port_read_line(&port, line, sizeof line, 13, -1), kNotSupported);
  EXPECT_EQ(port.status, kNotSupported);

  SerialPort* raw = missing.get();
  EXPECT_EQ(missing.close(), 0);
  EXPECT_EQ(times_listed(raw), 0);
}

TEST(PortOpen, APortHeldElsewhereIsInUse) {
  FarEnd far;
  PortGuard first(open_first_port());
  ASSERT_EQ(first->status, 0);
  PortGuard second(open_first_port());
  EXPECT_EQ(second->status, kInUse);
  // The refused open touched nothing: the holder still works.
  EXPECT_EQ(port_write_string(first.get(), "ok", -1), 0);
  EXPECT_EQ(far.receive(2), "ok");
}

// Runs `check` in a child process that has given up root, so the terminal's
// exclusive flag applies to it; returns the child's exit code.
template <typename Check>
int as_unprivileged_child(Check check) {
  const pid_t child = fork();
  if (child == 0) {
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(99);
    _exit(check());
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 98;
}

TEST(PortOpen, ExclusiveFlagStopsOthersWhileOpenAndNotAfterClose) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to drop privileges";
  FarEnd far;
  ASSERT_EQ(chmod(far.slave_path().c_str(), 0666), 0);
  const auto open_status = [] {
    SerialPort* port = open_first_port();
    const int status = port->status;
    port->ops->close(*port);
    return -status;
  };
  {
    PortGuard holder(open_first_port());
    ASSERT_EQ(holder->status, 0);
    EXPECT_EQ(as_unprivileged_child(open_status), -kInUse);
  }
  EXPECT_EQ(as_unprivileged_child(open_status), 0);
}

TEST(PortSettings, ChecksInOrderStoresBeforeRefusingAndAppliesAnyRateAndFlowControl) {
  FarEnd far;
  PortGuard port(open_first_port());
  SerialPort& p = *port;
  EXPECT_EQ(p.ops->set_params(p, 115201, 'N', 8, 1), kIllegalBaud);
  EXPECT_EQ(p.status, kIllegalBaud);
  p.ops->clear_status(p);
  // A pseudo-terminal forces 8 bits without parity whatever is asked, so the
  // rate, the stop bits and the odd/mark flags show what was applied.
  EXPECT_EQ(p.ops->set_params(p, 115200, 'e', 7, 2), 0);
  EXPECT_EQ(applied_rate(&p), 115200u);
  EXPECT_EQ(applied(&p).c_cflag & (PARODD | CSTOPB), static_cast<tcflag_t>(CSTOPB));
  EXPECT_EQ(p.ops->set_params(p, 2400, 'o', 8, 1), 0);
  EXPECT_EQ(applied(&p).c_cflag & (PARODD | CSTOPB), static_cast<tcflag_t>(PARODD));

  // Refused at the parity, then at the stop bits: the device still runs the
  // last applied settings, and the next setter applies the stored rate.
  EXPECT_EQ(p.ops->set_params(p, 1200, 'x', 5, 1), kIllegalParity);
  EXPECT_EQ(p.ops->set_params(p, 1200, 'N', 6, 3), kIllegalStopBits);
  EXPECT_EQ(p.status, kIllegalStopBits);
  EXPECT_EQ(applied_rate(&p), 2400u);

  p.ops->clear_status(p);
  EXPECT_EQ(p.ops->set_xonxoff(p, 1), 0);
  EXPECT_EQ(applied_rate(&p), 1200u);
  EXPECT_EQ(applied(&p).c_iflag & (IXON | IXOFF), static_cast<tcflag_t>(IXON | IXOFF));

  // Rates without a constant, and flow control.
  EXPECT_EQ(p.ops->set_params(p, 31250, 'M', 8, 1), 0);
  EXPECT_EQ(applied_rate(&p), 31250u);
  // A rate the device cannot take is a general error, kept in the status.
  EXPECT_EQ(p.ops->set_params(p, 0, 'N', 8, 1), kGeneralError);
  p.ops->clear_status(p);
  EXPECT_EQ(p.ops->set_params(p, 9600, 's', 9, 1), kGeneralError);
  EXPECT_EQ(applied_rate(&p), 31250u);  // refused before the device saw it
  p.ops->clear_status(p);

  EXPECT_EQ(p.ops->set_params(p, 9600, 'N', 8, 1), 0);
  EXPECT_EQ(p.ops->set_rtscts(p, 1), 0);
  EXPECT_NE(applied(&p).c_cflag & CRTSCTS, 0u);
  EXPECT_EQ(p.ops->set_rtscts(p, 0), 0);
  EXPECT_EQ(applied(&p).c_cflag & CRTSCTS, 0u);
  EXPECT_EQ(p.ops->set_dtr(p, 0), 0);
  EXPECT_EQ(p.status, 0);
}

TEST(PortIo, ReadBlockTakesWhatWaitsAndKernelRefusalLosesNothing) {
  FarEnd far;
  PortGuard port(open_first_port());
  SerialPort& p = *port;
  char buffer[16];
  EXPECT_EQ(p.ops->read_block(p, buffer, sizeof buffer), kBufferEmpty);
  EXPECT_EQ(p.count, 0);
  EXPECT_EQ(p.status, 0);  // an empty queue is no failure
  far.send("xyz");
  while (p.ops->rx_count(p) < 3) std::this_thread::sleep_for(1ms);
  EXPECT_EQ(p.ops->read_block(p, buffer, sizeof buffer), 0);
  EXPECT_EQ(p.count, 3);
  EXPECT_EQ(std::string(buffer, 3), "xyz");
  // Bytes handed back come first, then what the device holds.
  const uint8_t back[] = {'a', 'b'};
  EXPECT_EQ(p.ops->unread(p, back, 2), 0);
  far.send("cd");
  while (p.ops->rx_count(p) < 4) std::this_thread::sleep_for(1ms);
  EXPECT_EQ(p.ops->read_block(p, buffer, sizeof buffer), 0);
  EXPECT_EQ(std::string(buffer, static_cast<size_t>(p.count)), "abcd");
  // Bad arguments fail in the sticky status; more waiting than the queue
  // holds leaves no room, never less.
  EXPECT_EQ(p.ops->read_block(p, nullptr, 1), kInvalidParameter);
  EXPECT_EQ(p.ops->unread(p, back, 5), kInvalidParameter);
  EXPECT_EQ(p.status, kInvalidParameter);
  p.ops->clear_status(p);
  far.send(std::string(1100, 'r'));
  while (p.ops->rx_count(p) < 1100) std::this_thread::sleep_for(1ms);
  EXPECT_EQ(p.ops->rx_free(p), 0);
  while (p.ops->read_block(p, buffer, sizeof buffer) == 0) continue;

  // The far end reads nothing, so the kernel eventually refuses (EAGAIN);
  // every byte reported queued must arrive, and no more.
  const std::string block(1050, 'k');
  size_t queued = 0;
  int result = 0;
  for (int i = 0; i < 200 && result == 0; ++i) {
    result = p.ops->write_block(p, block.data(), 1050);
    queued += static_cast<size_t>(p.count);
  }
  EXPECT_EQ(result, kBufferFull);
  EXPECT_LT(p.count, 1050);
  EXPECT_EQ(far.receive(queued + 1, 500ms).size(), queued);
}

TEST(PortTiming, DelayAndBreakWaitTheirTimeThroughTheIdleHook) {
  FarEnd far;
  PortGuard port(open_first_port());
  static int calls;
  calls = 0;
  set_idle_hook([](SerialPort*) {
    ++calls;
    return 0;
  });
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(port_delay(port.get(), 30), 0);
  EXPECT_GE(std::chrono::steady_clock::now() - start, 30ms);
  EXPECT_GT(calls, 0);
  EXPECT_EQ(port_delay(port.get(), 0), 0);
  EXPECT_EQ(port_delay(port.get(), -5), 0);

  const auto break_start = std::chrono::steady_clock::now();
  EXPECT_EQ(port->ops->send_break(*port, 20), 0);
  EXPECT_GE(std::chrono::steady_clock::now() - break_start, 19ms);
  set_idle_hook(nullptr);
}

TEST(PortLifecycle, ExitRoutineClosesEveryLivePortNewestFirst) {
  FarEnd far;
  SerialPort* open = open_first_port();
  setenv("BRIMTALLY_COM1", "/nonexistent/tty", 1);
  SerialPort* failed = open_first_port();
  ASSERT_EQ(open->status, 0);
  ASSERT_EQ(failed->status, kNoDevice);
  EXPECT_EQ(port_live_head(), failed);
  EXPECT_EQ(failed->next, open);

  port_exit_close_all();
  EXPECT_EQ(port_live_head(), nullptr);
  // The device was really released: it opens again.
  setenv("BRIMTALLY_COM1", far.slave_path().c_str(), 1);
  PortGuard again(open_first_port());
  EXPECT_EQ(again->status, 0);
}

}  // namespace
}  // namespace bt::test
