// SPDX-License-Identifier: MIT
// A caller that gets things wrong: calls without a port, after a close, twice
// closed, with a null record, with text fields that fill their whole width
// without a NUL, and with arguments out of range. Every call must answer with
// its refusal code, touch nothing outside the record it was given, and send
// nothing it should not. Runs under the sanitizers and under valgrind.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "record_diff.h"
#include "sim_session.h"

namespace bt_test {
namespace {

using Fields = std::set<std::string>;

const Exports& lib() {
  return SimSession::lib();
}

// The right version; every other text filled to its width without a NUL,
// the numbers with a pattern.
ModuleRecord unterminated_record() {
  ModuleRecord record;
  std::memset(&record, 0x6B, sizeof record);
  std::memcpy(record.DllVersion, BT_DLL_VERSION, sizeof BT_DLL_VERSION);
  return record;
}

// Each typed operation refuses with `code`, kept in Status, and changes
// nothing else in the record.
void expect_all_refused(int16_t code, ModuleRecord record) {
  for (const auto& [name, call] : typed_operations()) {
    ModuleRecord after = record;
    EXPECT_EQ(call(&after), code) << name;
    EXPECT_EQ(after.Status, code) << name;
    Fields changed = changed_fields(record, after);
    changed.erase("Status");
    EXPECT_EQ(changed, Fields{}) << name;
  }
}

void expect_no_port(ModuleRecord record) {
  expect_all_refused(BT_NO_PORT, record);
  const ModuleRecord before = record;
  EXPECT_EQ(lib().ex_read_line(&record), BT_READ_ERROR);
  EXPECT_EQ(lib().ex_xmit_msg(&record), 0);
  EXPECT_EQ(changed_fields(before, record), Fields{});
  EXPECT_EQ(lib().btPortClose(), -6);
}

TEST(Misuse, WithoutAPortEveryCallIsRefusedWithItsCode) {
  // Before any port was ever opened in this process.
  expect_no_port(valid_record("01"));
  expect_no_port(unterminated_record());

  // After a close, and after a second close.
  SimSession session;
  ASSERT_EQ(lib().btPortOpen(1, 9600), BT_OK);
  EXPECT_EQ(lib().btPortClose(), 0);
  expect_no_port(valid_record("01"));
  EXPECT_EQ(lib().btPortClose(), -6);
  expect_no_port(unterminated_record());
  EXPECT_TRUE(session.logged("in").empty());
}

TEST(Misuse, ANullRecordIsRefusedAndNothingIsSent) {
  SimSession session;
  for (int open = 0; open < 2; ++open) {
    if (open == 1) {
      ASSERT_EQ(lib().btPortOpen(1, 9600), BT_OK);
    }
    for (const auto& [name, call] : typed_operations()) {
      EXPECT_EQ(call(nullptr), BT_WRONG_VERSION) << name;
    }
    EXPECT_EQ(lib().btSeedDLL(nullptr), BT_WRONG_VERSION);
    EXPECT_EQ(lib().ex_xmit_msg(nullptr), BT_WRONG_VERSION);
    // A failed read: 8 would read as "8 characters".
    EXPECT_EQ(lib().ex_read_line(nullptr), BT_READ_ERROR);
    const ModuleRecord made = lib().btInitDLL(nullptr);  // its argument is not used
    EXPECT_STREQ(made.DllVersion, BT_DLL_VERSION);
  }
  // A query the module answers shows that nothing before it was sent.
  ModuleRecord record = session_record();
  EXPECT_EQ(lib().btGetDigitalIn(&record), BT_OK);
  EXPECT_EQ(session.logged("in").size(), 1u);
  EXPECT_EQ(lib().btPortClose(), 0);
}

TEST(Misuse, TextFieldsWithoutANulAreUsedWithinTheirWidthOnly) {
  SimSession session;
  ASSERT_EQ(lib().btPortOpen(1, 9600), BT_OK);
  ModuleRecord record = unterminated_record();
  std::memset(record.ModuleAddress, 'A', BT_ADDRESS_LEN);
  std::memset(record.MessageText, 'M', BT_MESSAGE_LEN);
  record.ReplyTimeout = kReplyTimeoutMs;
  const std::string address(BT_ADDRESS_LEN, 'A');

  // A whole-width address is sent whole; no module has it, so no reply.
  EXPECT_EQ(lib().btSetDigitalOut(&record, 0x5A), BT_OK);
  EXPECT_EQ(lib().btGetDigitalIn(&record), BT_NO_REPLY);
  ASSERT_TRUE(session.wait_logged("in", 2));
  EXPECT_EQ(session.logged("in")[0], with_checksum("#?? " + address + " SO 5A\n\r"));
  EXPECT_EQ(session.logged("in")[1], with_checksum("#?? " + address + " QI\n\r"));

  // The raw sender sends the whole width and no more (a line the module
  // ignores: it starts like a command but has no valid checksum).
  record.MessageText[0] = '#';
  EXPECT_EQ(lib().ex_xmit_msg(&record), BT_MESSAGE_LEN);
  std::strcpy(record.MessageText, "\r");
  EXPECT_EQ(lib().ex_xmit_msg(&record), 1);
  ASSERT_TRUE(session.wait_logged("in", 3));
  EXPECT_EQ(session.logged("in")[2], "#" + std::string(BT_MESSAGE_LEN - 1, 'M') + "\r");

  // The keypad query clears a whole-width KeyText before it reads.
  EXPECT_EQ(lib().btKey(&record), BT_NO_REPLY);
  EXPECT_EQ(std::string(record.KeyText, BT_KEY_LEN), std::string(BT_KEY_LEN, '\0'));

  // Answered by the module at its own address, the record's other
  // unterminated texts do not disturb the scan.
  std::strcpy(record.ModuleAddress, "01");
  EXPECT_EQ(lib().btGetDigitalIn(&record), BT_OK);
  EXPECT_EQ(record.DigitalIn, 0x3C);
  EXPECT_EQ(lib().btPortClose(), 0);
}

TEST(Misuse, ArgumentsOutOfRangeAreRefusedOrKeptInBounds) {
  SimSession session;
  ASSERT_EQ(lib().btPortOpen(1, 9600), BT_OK);
  ModuleRecord record = session_record();
  // Channels outside 0-5 store no limit anywhere in the record.
  for (int16_t channel : {-1, 6, 7, 32767, -32768}) {
    const ModuleRecord before = record;
    EXPECT_EQ(lib().btSetAnalogLimits(&record, channel, 0x100, 0xE00), BT_OK);
    Fields changed = changed_fields(before, record);
    changed.erase("CommandText");
    EXPECT_EQ(changed, Fields{}) << channel;
  }
  // A negative time-out other than -1 expires at once rather than never.
  ASSERT_EQ(session.sim().control("fault drop 100"), "ok fault drop 100");
  record.ReplyTimeout = -5;
  long ms = 0;
  EXPECT_EQ(timed(ms, [&] { return lib().btGetDigitalIn(&record); }), BT_NO_REPLY);
  EXPECT_LE(ms, kSendWaitsMs + kLateMs);
  EXPECT_EQ(lib().btPortClose(), 0);
}

}  // namespace
}  // namespace bt_test
