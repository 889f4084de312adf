// SPDX-License-Identifier: MIT
// The options after a port name's "?", and the echo check they turn on.
#include "serial/port_options.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "port_guard.h"
#include "serial/echo_check.h"
#include "serial/port_device.h"

namespace bt::test {
namespace {

TEST(PortOptions, EachOptionIsReadAndEachFaultNamesItsOption) {
  PortOptions o;
  char why[256];
  ASSERT_EQ(parse_port_options("/dev/ttyUSB0", o, why, sizeof why), 0);
  EXPECT_FALSE(o.echo);
  EXPECT_EQ(o.pause_ms, 50);
  EXPECT_EQ(o.drain_ms, 10);
  ASSERT_EQ(parse_port_options("tcp://h:1?echo&pause=0&drain=10000", o, why, sizeof why), 0);
  EXPECT_TRUE(o.echo);
  EXPECT_EQ(o.pause_ms, 0);
  EXPECT_EQ(o.drain_ms, 10000);
  ASSERT_EQ(parse_port_options("d?rts-toggle&rts-before=1000&rts-after=7", o, why, sizeof why), 0);
  EXPECT_TRUE(o.rts_toggle);
  EXPECT_EQ(o.rs485, Rs485Mode::kOff);
  EXPECT_EQ(o.rts_before_ms, 1000);
  EXPECT_EQ(o.rts_after_ms, 7);
  ASSERT_EQ(parse_port_options("d?rs485=rts-low", o, why, sizeof why), 0);
  EXPECT_EQ(o.rs485, Rs485Mode::kRtsLowSend);
  ASSERT_EQ(parse_port_options("d?", o, why, sizeof why), 0);

  const std::pair<const char*, const char*> faults[] = {
      {"d?ecko", "unknown port option \"ecko\""},
      {"d?echo=1", "\"echo=1\" takes no value"},
      {"d?echo&echo", "\"echo\" is given twice"},
      {"d?pause", "\"pause\" takes milliseconds, 0 to 10000"},
      {"d?drain=10001", "\"drain=10001\" takes milliseconds, 0 to 10000"},
      {"d?pause=-1", "\"pause=-1\""},
      {"d?rs485=rts-high", "rs485 takes no value, or rts-low"},
      {"d?rs485&rts-after=1001", "\"rts-after=1001\" takes milliseconds, 0 to 1000"},
      {"d?rs485&rts-toggle", "rs485 and rts-toggle exclude each other"},
      {"d?rts-before=1", "rts-before and rts-after need rs485 or rts-toggle"},
      {"d?echo&&pause=1", "an empty port option"},
  };
  for (const auto& [name, says] : faults) {
    SCOPED_TRACE(name);
    EXPECT_EQ(parse_port_options(name, o, why, sizeof why), kInvalidPort);
    EXPECT_NE(std::strstr(why, says), nullptr) << why;
  }
}

TEST(PortOptions, AnOpenWithABadOptionOrAModeAPtyLacksHoldsNothing) {
  FarEnd far;
  for (const char* options : {"?ecko", "?rs485", "?rts-toggle&rs485"}) {
    SCOPED_TRACE(options);
    SerialPort* port = port_open_named(0, (far.slave_path() + options).c_str(), 9600, 'N', 8, 1);
    EXPECT_EQ(port->status, std::strcmp(options, "?rs485") == 0 ? kLineModeRefused : kInvalidPort);
    EXPECT_EQ(port->device, nullptr);
    port->ops->close(*port);
  }
  PortGuard port(port_open_named(0, (far.slave_path() + "?drain=0").c_str(), 9600, 'N', 8, 1));
  EXPECT_EQ(port->status, 0);
  EXPECT_STREQ(port->device->name, far.slave_path().c_str());
}

TEST(EchoCheck, TellsAGarbledEchoFromNoneAndEndsWhenDue) {
  const uint8_t sent[] = "#01 QC\r";
  const int n = 7;
  EchoCheck echo;
  // A garbled first byte is a collision when the rest matches; a reply in
  // the echo's place is no echo.
  uint8_t garbled[8];
  std::memcpy(garbled, sent, sizeof garbled);
  garbled[0] ^= 0x20;
  echo.expect(sent, n, 2000, 0);
  echo.compare(garbled, n);
  EXPECT_EQ(echo.take_fault(), kEchoMismatch);
  EXPECT_EQ(echo.take_fault(), 0);  // reported once
  echo.expect(sent, n, 3000, 0);
  echo.compare(reinterpret_cast<const uint8_t*>("$00 01 C:02CF\r"), n);
  EXPECT_EQ(echo.take_fault(), kNoEcho);

  // Cut short: what came matched, the rest never did.
  echo.expect(sent, n, 4000, 5);
  echo.compare(sent, 2);
  echo.expire(4000 + 5 + kEchoMarginMs - 1);
  EXPECT_EQ(echo.pending(), n - 2);
  EXPECT_EQ(echo.take_fault(), 0);
  EXPECT_EQ(echo.time_left(4000 + 5 + kEchoMarginMs), 1u);
  echo.expire(4000 + 5 + kEchoMarginMs);
  EXPECT_EQ(echo.pending(), 0);
  EXPECT_EQ(echo.take_fault(), kEchoMismatch);
  echo.expect(sent, n, 5000, 0);
  echo.expire(5000 + kEchoMarginMs);
  EXPECT_EQ(echo.take_fault(), kNoEcho);

  // Beyond what is kept, bytes are still expected in order, unseen; a later
  // write is due no sooner than an earlier one.
  uint8_t many[5000];
  std::memset(many, 'x', sizeof many);
  echo.expect(many, sizeof many, 6000, 500);
  echo.expect(sent, 1, 6001, 0);
  EXPECT_EQ(echo.pending(), 5001);
  EXPECT_EQ(echo.time_left(6000), 500 + kEchoMarginMs);
  echo.compare(many, sizeof many);
  echo.compare(sent, 1);
  EXPECT_EQ(echo.pending(), 0);
  EXPECT_EQ(echo.take_fault(), 0);
}

TEST(EchoCheck, WireTimeCountsEveryBitOfTheFrame) {
  LineSettings s{};
  s.baud = 9600;
  s.byte_size = 8;
  s.parity = kParityNone;
  s.stop_bits = kStopOne;
  EXPECT_EQ(wire_time_ms(s, 96), 100u);  // 10 bits a byte
  s.parity = kParityEven;
  s.stop_bits = kStopTwo;
  EXPECT_EQ(wire_time_ms(s, 96), 120u);
  EXPECT_EQ(wire_time_ms(s, 1), 2u);  // rounded up
  s.baud = 0;
  EXPECT_EQ(wire_time_ms(s, 96), 0u);
}

}  // namespace
}  // namespace bt::test
