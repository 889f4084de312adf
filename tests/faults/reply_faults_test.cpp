// SPDX-License-Identifier: MIT
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

}  // namespace
}  // namespace bt_test
