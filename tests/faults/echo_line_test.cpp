// SPDX-License-Identifier: MIT
// A two-wire line whose transceiver hears what it sends: the port's echo
// option against the simulator's echoing and colliding line.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "sim_session.h"

namespace {

using bt_test::SimSession;

int32_t port_status(std::string* text = nullptr) {
  char buffer[64] = "";
  const int32_t status = SimSession::lib().btPortStatus(buffer, sizeof buffer);
  if (text != nullptr) *text = buffer;
  return status;
}

// A simulator on an echoing line; open() opens COM1 on it with the options given.
class EchoLine : public testing::Test {
 protected:
  void open(SimSession& session, const std::string& options = "?echo") {
    session.use_device(session.sim().device() + options);
    ASSERT_EQ(lib.btPortOpen(1, 9600), BT_OK);
  }
  SimSession session_{{"--echo"}};
  const bt_test::Exports& lib = SimSession::lib();
  ModuleRecord record = bt_test::session_record();
};

TEST_F(EchoLine, EveryQueryASettingAndARawLineWorkOnAnEchoingLine) {
  // Without the option, our own command comes back as the reply.
  open(session_, "");
  EXPECT_EQ(lib.btGetDigitalIn(&record), BT_NOT_A_REPLY);

  open(session_);
  for (const auto& [name, query] : bt_test::typed_operations()) {
    if (std::strncmp(name, "btGet", 5) != 0 && std::strcmp(name, "btKey") != 0) continue;
    EXPECT_EQ(query(&record), BT_OK) << name << ": " << record.ReplyText;
  }
  EXPECT_EQ(record.DigitalIn, 0x3C);
  EXPECT_EQ(record.ConfigBits, 0x02CF);
  EXPECT_EQ(lib.btSetDigitalOut(&record, 0x5A), BT_OK);
  EXPECT_EQ(port_status(), 0);
  EXPECT_EQ(lib.btGetDigitalOut(&record), BT_OK);
  EXPECT_EQ(record.DigitalOut, 0x5A);
  std::strcpy(record.MessageText, "QC\r");
  EXPECT_EQ(lib.ex_xmit_msg(&record), 3);
  EXPECT_EQ(lib.ex_read_line(&record), 6);
  EXPECT_STREQ(record.ReplyText, "C:02CF");
}

TEST_F(EchoLine, ACollisionFailsItsTransactionOnceAndALineWithoutEchoSaysSo) {
  open(session_);
  std::string text;
  ASSERT_EQ(session_.sim().control("collide"), "ok 1 echoes to collide");
  EXPECT_EQ(lib.btGetDigitalIn(&record), BT_NO_REPLY);
  EXPECT_EQ(port_status(&text), -43);
  EXPECT_EQ(text, "Echo mismatch");
  EXPECT_EQ(lib.btGetDigitalIn(&record), BT_OK);
  EXPECT_EQ(port_status(), 0);
  // A garbled setting may not have reached the module: the status says so.
  ASSERT_EQ(session_.sim().control("collide"), "ok 1 echoes to collide");
  EXPECT_EQ(lib.btSetDigitalOut(&record, 0x11), BT_OK);
  EXPECT_EQ(port_status(), -43);
  EXPECT_EQ(lib.btGetDigitalIn(&record), BT_OK);

  // The same option on a line that does not echo: the module's reply is not
  // taken for a garbled echo.
  SimSession quiet;
  open(quiet);
  EXPECT_EQ(lib.btGetAllIO(&record), BT_NO_REPLY);
  EXPECT_EQ(port_status(&text), -44);
  EXPECT_EQ(text, "No echo");
  record.ModuleAddress[1] = '9';  // nobody answers: nothing comes back at all
  EXPECT_EQ(lib.btGetDigitalIn(&record), BT_NO_REPLY);
  EXPECT_EQ(port_status(), -44);
}

}  // namespace
