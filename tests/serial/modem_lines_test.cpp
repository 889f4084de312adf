// Modem lines, which a pseudo-terminal lacks: this executable answers the
// modem-line requests that the terminal refuses from a line state of its own.
#include <errno.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdarg>

#include "far_end.h"
#include "serial/serial_port.h"

namespace {
int lines = 0;  // TIOCM_ bits: the inputs a test sets, the outputs the driver drives
}  // namespace

extern "C" int ioctl(int fd, unsigned long request, ...) {
  va_list args;
  va_start(args, request);
  void* argument = va_arg(args, void*);
  va_end(args);
  const long result = syscall(SYS_ioctl, fd, request, argument);
  if (result != -1 || errno != ENOTTY) return static_cast<int>(result);
  int* bits = static_cast<int*>(argument);
  switch (request) {
    case TIOCMGET:
      *bits = lines;
      return 0;
    case TIOCMBIS:
      lines |= *bits;
      return 0;
    case TIOCMBIC:
      lines &= ~*bits;
      return 0;
    default:
      return -1;
  }
}

namespace bt::test {
namespace {

TEST(ModemLines, InputsMapToTheirStatusBitsAndOutputsFollowTheOpenPort) {
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

}  // namespace
}  // namespace bt::test
