// SPDX-License-Identifier: MIT
// What a UART has and a pseudo-terminal lacks (modem lines, error counters,
// low-latency mode, a transmit count): this executable answers the requests
// that the terminal refuses from a device state of its own.
#include <errno.h>
#include <gtest/gtest.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <termios.h>
#include <unistd.h>

#include <cstdarg>
#include <tuple>

#include "port_guard.h"
#include "serial/serial_port.h"

namespace {
int lines = 0;  // TIOCM_ bits: the inputs a test sets, the outputs the driver drives
serial_icounter_struct counters{};
int serial_flags = 0;
int transmit_waiting = 0;
termios applied{};  // as the driver asked, before a terminal forces 8 bits
serial_rs485 rs485{};
bool rs485_refused = false;  // a UART driver without the mode
bool rs485_ignored = false;  // one that takes the request but stays off
int rts_raised = 0;          // times RTS went up
}  // namespace

// A UART takes any byte size and parity; a pseudo-terminal refuses parity.
// Nothing here reads or writes through the line, so it need not be raw.
extern "C" int tcsetattr(int, int, const termios* settings) {
  applied = *settings;
  return 0;
}

extern "C" int ioctl(int fd, unsigned long request, ...) {
  va_list args;
  va_start(args, request);
  void* argument = va_arg(args, void*);
  va_end(args);
  if (request == TIOCOUTQ && transmit_waiting != 0) {
    *static_cast<int*>(argument) = transmit_waiting;
    return 0;
  }
  const long result = syscall(SYS_ioctl, fd, request, argument);
  if (result != -1 || errno != ENOTTY) return static_cast<int>(result);
  int* bits = static_cast<int*>(argument);
  switch (request) {
    case TIOCMGET:
      *bits = lines;
      return 0;
    case TIOCMBIS:
      if ((*bits & TIOCM_RTS) != 0 && (lines & TIOCM_RTS) == 0) ++rts_raised;
      lines |= *bits;
      return 0;
    case TIOCMBIC:
      lines &= ~*bits;
      return 0;
    case TIOCGICOUNT:
      *static_cast<serial_icounter_struct*>(argument) = counters;
      return 0;
    case TIOCGSERIAL:
      *static_cast<serial_struct*>(argument) = serial_struct{};
      static_cast<serial_struct*>(argument)->flags = serial_flags;
      return 0;
    case TIOCSSERIAL:
      serial_flags = static_cast<serial_struct*>(argument)->flags;
      return 0;
    case TIOCGRS485:
      *static_cast<serial_rs485*>(argument) = rs485;
      return rs485_refused ? -1 : 0;
    case TIOCSRS485:
      if (rs485_refused) return -1;
      if (!rs485_ignored) rs485 = *static_cast<serial_rs485*>(argument);
      return 0;
    default:
      return -1;
  }
}

namespace bt::test {
namespace {

TEST(UartFeatures, InputsMapToTheirStatusBitsAndOutputsFollowTheOpenPort) {
  FarEnd far;
  lines = 0;
  PortGuard port(open_first_port());
  ASSERT_EQ(port->status, 0);
  EXPECT_EQ(lines, TIOCM_DTR | TIOCM_RTS);  // raised at open

  const struct {
    int line, status;
    int (*test)(SerialPort*);
  } inputs[] = {
      {TIOCM_CTS, 0x10, cts_on},
      {TIOCM_DSR, 0x20, dsr_on},
      {TIOCM_RI, 0x40, ri_on},
      {TIOCM_CD, 0x80, cd_on},
  };
  for (const auto& input : inputs) {
    SCOPED_TRACE(input.status);
    lines = TIOCM_DTR | TIOCM_RTS | input.line;
    EXPECT_EQ(port->ops->modem_status(*port), input.status);
    for (const auto& other : inputs) {
      EXPECT_EQ(other.test(port.get()), other.line == input.line ? input.status : 0);
    }
  }
  lines = TIOCM_DTR | TIOCM_RTS | TIOCM_CTS | TIOCM_DSR | TIOCM_RI | TIOCM_CD;
  EXPECT_EQ(port->ops->modem_status(*port), 0xF0);

  EXPECT_EQ(port->ops->set_dtr(*port, 0), 0);
  EXPECT_EQ(lines & (TIOCM_DTR | TIOCM_RTS), TIOCM_RTS);
  EXPECT_EQ(port->ops->set_dtr(*port, 1), 0);
  EXPECT_EQ(port.close(), 0);
  EXPECT_EQ(lines & (TIOCM_DTR | TIOCM_RTS), 0);  // dropped at close
}

TEST(UartFeatures, OpenAsksForLowLatencyAndErrorCountersGiveLineStatusBits) {
  FarEnd far;
  counters = serial_icounter_struct{};
  counters.frame = 5;  // errors from before the open are not this port's
  serial_flags = 0;
  PortGuard port(open_first_port());
  ASSERT_EQ(port->status, 0);
  EXPECT_NE(serial_flags & ASYNC_LOW_LATENCY, 0);
  EXPECT_EQ(port->ops->line_status(*port), 0);

  // Each counter with its error's CE_ value.
  const std::pair<int*, int> errors[] = {{&counters.frame, 0x08},
                                         {&counters.overrun, 0x02},
                                         {&counters.parity, 0x04},
                                         {&counters.brk, 0x10}};
  for (const auto& [counter, bit] : errors) {
    SCOPED_TRACE(bit);
    ++*counter;
    EXPECT_EQ(port->ops->line_status(*port), bit);
    EXPECT_EQ(port->ops->line_status(*port), bit);  // kept until cleared
    EXPECT_EQ(port->ops->clear_line_status(*port), 0);
    EXPECT_EQ(port->ops->line_status(*port), 0);
  }
  ++counters.frame;
  ++counters.brk;
  EXPECT_EQ(port->ops->line_status(*port), 0x18);

  // The transmit queue's count and room come from the device.
  transmit_waiting = 50;
  EXPECT_EQ(port->ops->tx_count(*port), 50);
  EXPECT_EQ(port->ops->tx_free(*port), 1000);
  transmit_waiting = -7;  // a driver's nonsense is no negative count
  EXPECT_EQ(port->ops->tx_count(*port), 0);
  transmit_waiting = 0;
}

TEST(UartFeatures, ByteSizeAndParityReachTheLine) {
  FarEnd far;
  PortGuard port(open_first_port());
  const std::tuple<int, char, tcflag_t> cases[] = {
      {5, 'N', CS5},
      {6, 'e', CS6 | PARENB},
      {7, 'o', CS7 | PARENB | PARODD},
      {8, 'N', CS8},
      {8, 'm', CS8 | PARENB | PARODD | CMSPAR},
      {7, 's', CS7 | PARENB | CMSPAR},
  };
  for (const auto& [bits, parity, flags] : cases) {
    SCOPED_TRACE(parity);
    EXPECT_EQ(port->ops->set_params(*port, 9600, parity, bits, 1), 0);
    EXPECT_EQ(applied.c_cflag & (CSIZE | PARENB | PARODD | CMSPAR), flags);
  }
}

TEST(UartFeatures, TheKernelsRs485ModeIsAskedForCheckedAndGivenBack) {
  FarEnd far;
  const std::string device = far.slave_path();
  // The options, then the flags and the delays before and after sending they ask for.
  const std::tuple<const char*, uint32_t, uint32_t, uint32_t> modes[] = {
      {"?rs485", SER_RS485_ENABLED | SER_RS485_RTS_ON_SEND, 0, 0},
      {"?rs485=rts-low&rts-before=2&rts-after=3", SER_RS485_ENABLED | SER_RS485_RTS_AFTER_SEND, 2,
       3},
  };
  for (const auto& [options, flags, before, after] : modes) {
    SCOPED_TRACE(options);
    rs485 = serial_rs485{};
    rs485.flags = SER_RS485_RX_DURING_TX;  // as the system left it
    PortGuard port(port_open_named(0, (device + options).c_str(), 9600, 'N', 8, 1));
    ASSERT_EQ(port->status, 0);
    EXPECT_EQ(rs485.flags, flags);
    EXPECT_EQ(rs485.delay_rts_before_send, before);
    EXPECT_EQ(rs485.delay_rts_after_send, after);
    EXPECT_EQ(port.close(), 0);
    EXPECT_EQ(rs485.flags, static_cast<uint32_t>(SER_RS485_RX_DURING_TX));
  }
  // Refused outright, or taken and left off: the open fails and holds nothing.
  for (bool* fault : {&rs485_refused, &rs485_ignored}) {
    *fault = true;
    SerialPort* refused = port_open_named(0, (device + "?rs485").c_str(), 9600, 'N', 8, 1);
    EXPECT_EQ(refused->status, kLineModeRefused);
    EXPECT_STREQ(port_error_text(refused->status), "RS-485 mode refused by the device");
    refused->ops->close(*refused);
    *fault = false;
  }
  PortGuard again(open_first_port());
  EXPECT_EQ(again->status, 0);
}

TEST(UartFeatures, RtsToggleRaisesRtsForEachWriteOnly) {
  FarEnd far;
  lines = 0;
  rts_raised = 0;
  PortGuard port(port_open_named(0, (far.slave_path() + "?rts-toggle").c_str(), 9600, 'N', 8, 1));
  ASSERT_EQ(port->status, 0);
  EXPECT_EQ(lines & (TIOCM_DTR | TIOCM_RTS), TIOCM_DTR);  // RTS down while idle
  EXPECT_EQ(port_write_string(port.get(), "#01 QC", 13), 0);
  EXPECT_EQ(far.wait_for_bytes(7), "#01 QC\r");
  EXPECT_EQ(rts_raised, 2);  // the text and its terminator, each written alone
  EXPECT_EQ(lines & TIOCM_RTS, 0);
}

}  // namespace
}  // namespace bt::test
