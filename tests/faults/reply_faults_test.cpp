// Faulty replies from the real simulator through the real library: each fails
// its own transaction with the code a client can act on, changes only what
// that code allows, ends within its deadline, and leaves the port fit for the
// next transaction.
#include <string>

#include "library_faults.h"

namespace bt_test {
namespace {

using ReplyFaults = LibraryFaults;

TEST_F(ReplyFaults, SilenceAnOverLongLineAndALateReplyGiveNoReply) {
  for (const char* kind : {"drop", "longline"}) {
    SCOPED_TRACE(kind);
    fault(kind == std::string("drop") ? "drop 100" : kind);
    EXPECT_EQ(faulted_query(), BT_NO_REPLY);
    EXPECT_EQ(changed(), Fields{"Status"});
    fault("off");
    expect_transaction_succeeds();
    EXPECT_EQ(injected(kind), 1);
  }

  // Twice the reply time-out late: the reply arrives after the call has
  // given up, and must not be taken for the next transaction's reply.
  fault("delay " + std::to_string(2 * record_.ReplyTimeout));
  const size_t sent = session_.logged("out").size();
  EXPECT_EQ(faulted_query(), BT_NO_REPLY);
  EXPECT_EQ(changed(), Fields{"Status"});
  fault("off");
  ASSERT_TRUE(session_.wait_logged("out", sent + 1));  // the late line is on its way
  lib().btGetDigitalOut(&record_);                     // a query with another reply
  EXPECT_EQ(record_.Status, BT_OK) << record_.ReplyText;
  EXPECT_NE(std::string(record_.ReplyText).find("O:"), std::string::npos) << record_.ReplyText;
  expect_transaction_succeeds();
}

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return 0;
}

// What the reply checks make of a line as the reader keeps it: printable
// ASCII only, checksum digits of either case, a non-digit counting as 0.
int16_t expected_status(const std::string& line) {
  std::string kept;
  for (char c : line) {
    if (c >= 32 && c <= 126) kept += c;
  }
  if (kept.empty() || kept[0] != '$') return BT_NOT_A_REPLY;
  if (kept.size() < 3) return BT_BAD_CHECKSUM;
  unsigned sum = hex_value(kept[1]) * 16 + hex_value(kept[2]) + '$' + '0' + '0';
  for (size_t i = 3; i < kept.size(); ++i) sum += static_cast<unsigned char>(kept[i]);
  if (sum % 256 != 0) return BT_BAD_CHECKSUM;
  return kept.compare(4, 2, "01") == 0 ? BT_OK : BT_WRONG_ADDRESS;
}

TEST_F(ReplyFaults, NoiseBeforeAReplyIsJudgedByWhatTheReaderKeeps) {
  // Random bytes on an idle line join no reply: the send procedure reads
  // them away before the command goes out.
  ASSERT_EQ(session_.sim().control("fault burst 40"), "ok burst 40");
  expect_transaction_succeeds();

  // Noise in front of a reply: the bytes the reader drops (controls, codes
  // above 127) leave a good reply; any other byte spoils it.
  fault("noise");
  for (int i = 0; i < 6; ++i) {
    const size_t sent = session_.logged("out").size();
    const int16_t status = faulted_query();
    ASSERT_TRUE(session_.wait_logged("out", sent + 1));
    const std::string line = session_.logged("out").back();
    EXPECT_EQ(status, expected_status(line)) << line;
    EXPECT_EQ(changed().count("DigitalIn"), status == BT_OK ? 1u : 0u) << line;
  }
  fault("off");
  expect_transaction_succeeds();
  EXPECT_EQ(injected("noise"), 6);
}

}  // namespace
}  // namespace bt_test
