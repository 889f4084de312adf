// SPDX-License-Identifier: MIT
// The port dump and the error texts.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "port_guard.h"
#include "serial/posix/posix_device.h"
#include "serial/serial_port.h"

namespace bt::test {
namespace {

using namespace std::chrono_literals;

TEST(PortDump, OpenPortPrintsItsSettingsQueuesAndLines) {
  FarEnd far;
  PortGuard port(open_first_port());
  far.send("abc");
  while (port->ops->rx_count(*port) < 3) std::this_thread::sleep_for(1ms);
  int result = -1;
  std::vector<std::string> printed = dump_lines(*port, &result);
  EXPECT_EQ(result, 0);
  const std::vector<std::string> expected = {
      "",
      "Port type:  POSIX termios  DCB BaudRate: 9600    ByteSize: 8  Parity: 0",
      "StopBits: 0 fBinary: 1  fRtsControl: 1",
      "Parity: 0  OutCtsFlow: 0  OutDsrFlow: 0  DtrControl: 1  OutX: 0  InX: 0",
      "Null: 0  DtrControl: 1  RtsControl: 1  XonChar: 11  XoffChar: 13",
      "XonLim: 262   XoffLim: 262   EofChr: 00  EvtChr: 00",
      "RX count/free:     3/1047   TX count/free:     0/1050   BREAK/FE/OE/PE: 0000",
      "CE_BREAK:0  CE_FRAME:0  CE_MODE:0 CE_OVERRUN:0",
      "CE_RXOVER:0 CE_RXPARITY:0 CE_TXFULL:0  CTS/DSR/RI/CD: 0000",
      "8250:0000",
  };
  EXPECT_EQ(printed, expected);

  // Settings changes show; characters of 0x80 and above widen with the sign;
  // accumulated line errors print bit by bit.
  port->ops->set_params(*port, 19200, 'o', 7, 2);
  port->ops->set_rtscts(*port, 1);
  port->device->settings.xon_char = static_cast<char>(0x80);
  port->device->line_errors = 0x0010 | 0x0002 | 0x0001;
  printed = dump_lines(*port);
  ASSERT_EQ(printed.size(), 10u);
  EXPECT_EQ(printed[1], "Port type:  POSIX termios  DCB BaudRate: 19200   ByteSize: 7  Parity: 1");
  EXPECT_EQ(printed[2], "StopBits: 2 fBinary: 1  fRtsControl: 2");
  EXPECT_EQ(printed[3], "Parity: 0  OutCtsFlow: 1  OutDsrFlow: 0  DtrControl: 1  OutX: 0  InX: 0");
  EXPECT_EQ(printed[4], "Null: 0  DtrControl: 1  RtsControl: 2  XonChar: ffffff80  XoffChar: 13");
  EXPECT_EQ(printed[6],
            "RX count/free:     3/1047   TX count/free:     0/1050   BREAK/FE/OE/PE: 1010");
  EXPECT_EQ(printed[7], "CE_BREAK:1  CE_FRAME:0  CE_MODE:0 CE_OVERRUN:1");
  EXPECT_EQ(printed[8], "CE_RXOVER:1 CE_RXPARITY:0 CE_TXFULL:0  CTS/DSR/RI/CD: 0000");
  EXPECT_EQ(port->ops->clear_line_status(*port), 0);
  EXPECT_EQ(port->ops->line_status(*port), 0);
}

TEST(PortDump, PortThatNeverOpenedSaysSo) {
  setenv("BRIMTALLY_COM1", "/nonexistent/tty", 1);
  PortGuard port(open_first_port());
  int result = 0;
  EXPECT_EQ(dump_lines(*port, &result),
            (std::vector<std::string>{"Port dump not supported for this driver", ""}));
  EXPECT_EQ(result, kNotSupported);
  EXPECT_EQ(port->status, kNotSupported);
}

TEST(PortErrorText, TableCodesUnknownCodesAndTheHook) {
  EXPECT_STREQ(port_error_text(0), "Success");
  EXPECT_STREQ(port_error_text(-3), "In use");
  EXPECT_STREQ(port_error_text(-14), "No 8250 present");
  EXPECT_STREQ(port_error_text(-27), "Ilegal word length");
  EXPECT_STREQ(port_error_text(-601), "Can't allocate xfer buffer");
  EXPECT_STREQ(port_error_text(-623), "File engine failed");
  for (int32_t unknown : {1, -29, -46, -600, -624}) {
    EXPECT_STREQ(port_error_text(unknown), "Unknown error code") << unknown;
  }

  set_error_text_hook(
      [](int32_t code) -> const char* { return code == -8 ? "No reply" : nullptr; });
  EXPECT_STREQ(port_error_text(-8), "No reply");
  EXPECT_STREQ(port_error_text(-9), "Buffer full");
  set_error_text_hook(nullptr);
  EXPECT_STREQ(port_error_text(-8), "Buffer empty");
}

}  // namespace
}  // namespace bt::test
