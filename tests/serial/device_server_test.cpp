// SPDX-License-Identifier: MIT
// RFC 2217 ports against a scripted device server: the commands the driver
// sends, servers that withhold or withdraw, notifications and cut sequences.
// (Long streams with 0xFF amid them go through ser2net in network_port_test.)
#include <gtest/gtest.h>

#include <chrono>

#include "port_guard.h"
#include "scripted_server.h"

namespace bt::test {
namespace {

using bt_test::ScriptedServer;
using Commands = std::vector<std::string>;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

std::string cmd(int code, int value) {
  return {char(code), char(value)};
}

// The commands heard since the last call, once there are at least n more.
Commands next(ScriptedServer& server, size_t& seen, size_t n) {
  Commands fresh;
  server.wait([&](const Commands& all, const std::string&) {
    if (all.size() < seen + n) return false;
    fresh.assign(all.begin() + static_cast<long>(seen), all.end());
    return true;
  });
  seen += fresh.size();
  return fresh;
}

// What the port reads within 5 s, up to n bytes.
std::string read_n(SerialPort& port, size_t n) {
  std::string got;
  for (const auto start = Clock::now(); got.size() < n && Clock::now() - start < 5s;) {
    const int c = port.ops->read_char(port);
    if (c < 0) port_delay(&port, 1);
    if (c >= 0) got += char(c);
  }
  return got;
}

TEST(DeviceServer, CommandsGoOutAndWithheldOrOtherAnswersEndTheOpenOrTheSettingInTime) {
  ScriptedServer server;
  server.set_answer([](uint8_t code, auto&) { return code != 1; });
  const auto start = Clock::now();
  PortGuard port(port_open_named(0, server.url().c_str(), 9600, 'N', 8, 1));
  ASSERT_NE(port->device, nullptr);
  EXPECT_EQ(port->status, kGeneralError);
  EXPECT_LT(Clock::now() - start, 3s);
  // Line-error notifications asked for, no flow control, DTR and RTS up, the
  // server's input purged; then 9600 8N1.
  size_t seen = 0;
  EXPECT_EQ(next(server, seen, 10),
            (Commands{cmd(10, 0x1E), cmd(5, 1), cmd(5, 14), cmd(5, 8), cmd(5, 11), cmd(12, 1),
                      std::string("\x01\0\0\x25\x80", 5), cmd(2, 8), cmd(3, 1), cmd(4, 1)}));
  // The server holds 4800 baud and one stop bit, whatever is asked.
  server.set_answer([](uint8_t code, std::string& value) {
    if (code == 1) value = std::string("\0\0\x12\xC0", 4);
    if (code == 4) value = "\x01";
    return true;
  });
  port->ops->clear_status(*port);
  EXPECT_EQ(port->ops->set_params(*port, 9600, 'N', 8, 1), kIllegalBaud);
  port->ops->clear_status(*port);
  EXPECT_EQ(port->ops->set_params(*port, 4800, 'N', 8, 2), kIllegalStopBits);
  next(server, seen, 8);
  // DTR handshake: DSR outbound, DTR inbound, RTS as it was; RTS handshake:
  // hardware both ways, DTR as it was; a break, and a purge.
  port->ops->clear_status(*port);
  EXPECT_EQ(port->ops->set_dtrdsr(*port, 1), 0);
  EXPECT_EQ(next(server, seen, 3), (Commands{cmd(5, 19), cmd(5, 18), cmd(5, 11)}));
  EXPECT_EQ(port->ops->set_dtrdsr(*port, 0), 0);
  EXPECT_EQ(next(server, seen, 4), (Commands{cmd(5, 1), cmd(5, 14), cmd(5, 9), cmd(5, 11)}));
  EXPECT_EQ(port->ops->set_rtscts(*port, 1), 0);
  EXPECT_EQ(next(server, seen, 3), (Commands{cmd(5, 3), cmd(5, 16), cmd(5, 9)}));
  EXPECT_EQ(port->ops->send_break(*port, 5), 0);
  EXPECT_EQ(port->ops->clear_tx(*port), 0);
  EXPECT_EQ(next(server, seen, 3), (Commands{cmd(5, 5), cmd(5, 6), cmd(12, 2)}));
}

TEST(DeviceServer, AnOptionWithdrawnMidSessionEndsTheCommandsButNotTheData) {
  ScriptedServer server;
  PortGuard port(port_open_named(0, server.url().c_str(), 9600, 'N', 8, 1));
  ASSERT_EQ(port->status, kPortOk);
  // DONT: from then on the server answers nothing, and is sent nothing.
  server.set_answer([](uint8_t, auto&) { return false; });
  server.send_raw("\xFF\xFE,b");  // 44 is ','
  EXPECT_EQ(read_n(*port, 1), "b");
  size_t seen = 0;
  next(server, seen, 0);
  const auto start = Clock::now();
  EXPECT_EQ(port->ops->set_params(*port, 19200, 'N', 8, 1), kGeneralError);
  port->ops->clear_status(*port);
  EXPECT_EQ(port->ops->set_rtscts(*port, 1), kGeneralError);
  EXPECT_LT(Clock::now() - start, 800ms);  // not the confirmation wait
  port->ops->clear_status(*port);
  EXPECT_EQ(port->ops->write_block(*port, "cd", 2), 0);
  EXPECT_TRUE(server.wait([](const Commands&, const std::string& data) { return data == "cd"; }));
  server.send_raw("ef");
  EXPECT_EQ(read_n(*port, 2), "ef");
  EXPECT_EQ(next(server, seen, 0), Commands{});
  // Accepted again, the settings work again.
  server.set_answer(nullptr);
  server.send_raw("\xFF\xFD,g");
  EXPECT_EQ(read_n(*port, 1), "g");
  EXPECT_EQ(port->ops->set_params(*port, 19200, 'N', 8, 1), kPortOk);
}

TEST(DeviceServer, NotificationsAndSequencesCutAcrossSegmentsArriveIntact) {
  ScriptedServer server;
  PortGuard port(port_open_named(0, server.url().c_str(), 9600, 'N', 8, 1));
  ASSERT_EQ(port->status, kPortOk);
  server.send_raw("@");  // a segment of one byte
  EXPECT_EQ(read_n(*port, 1), "@");
  // Break and framing, beside the data-ready, transmitter and time-out bits,
  // which are no line errors; each notification read before its marker byte.
  server.send_raw(ScriptedServer::com_port(106, "\xF9") + "a");
  EXPECT_EQ(read_n(*port, 1), "a");
  EXPECT_EQ(port->ops->line_status(*port), 0x18);
  // Parity and overrun add to them.
  server.send_raw(ScriptedServer::com_port(106, "\x06") + "b");
  EXPECT_EQ(read_n(*port, 1), "b");
  EXPECT_EQ(port->ops->line_status(*port), 0x1E);
  // CD, DSR and CTS with their change bits.
  server.send_raw(ScriptedServer::com_port(107, "\xB3") + "d");
  EXPECT_EQ(read_n(*port, 1), "d");
  EXPECT_EQ(port->ops->modem_status(*port), 0xB0);
  // IAC alone ends a segment: a doubled 0xFF, then a NOP; a notification cut
  // after IAC SB and before SE counts once, whole.
  server.send_raw("A\xFF");
  EXPECT_EQ(read_n(*port, 1), "A");
  server.send_raw("\377B\377");
  EXPECT_EQ(read_n(*port, 2), "\377B");
  server.send_raw("\361C\377\372");
  EXPECT_EQ(read_n(*port, 1), "C");
  server.send_raw(",k\020\377\360D" + ScriptedServer::com_port(107, "\x20").substr(0, 6));
  EXPECT_EQ(read_n(*port, 1), "D");
  EXPECT_EQ(port->ops->modem_status(*port), 0x10);
  server.send_raw("\360E");
  EXPECT_EQ(read_n(*port, 1), "E");
  EXPECT_EQ(port->ops->modem_status(*port), 0x20);
}

}  // namespace
}  // namespace bt::test
