// SPDX-License-Identifier: MIT
// The two queries that are built like the exported ones but not exported.
#include <gtest/gtest.h>

#include <cstring>

#include "current_port.h"
#include "far_end.h"
#include "queries.h"
#include "record_fixture.h"

namespace {

using bt_test::with_checksum;

TEST(InternalQueries, AnalogInputsAndOutputsAskWithQaAndQd) {
  bt_test::FarEnd module;
  module.respond_with([](const std::string& line) -> std::string {
    if (line.find(" QA\n\r") != std::string::npos) return with_checksum("$?? 01 A0:12 A5:ABC\r");
    if (line.find(" QD\n\r") != std::string::npos) return with_checksum("$?? 01 D0:123 D1:7FF\r");
    return "";
  });
  ASSERT_EQ(btPortOpen(1, 9600), 0);
  ModuleRecord record = bt_test::valid_record();
  record.ReplyTimeout = 10000;

  EXPECT_EQ(bt::GetAnalogInputs(&record), 0);
  EXPECT_EQ(record.AnalogIn0, 0x12);
  EXPECT_EQ(record.AnalogIn5, 0xABC);
  EXPECT_EQ(bt::GetAnalogOutputs(&record), 0);
  EXPECT_EQ(record.AnalogOut0, 0x123);
  EXPECT_EQ(record.AnalogOut1, 0x7FF);
  EXPECT_EQ(module.received(), with_checksum("#?? 01 QA\n\r") + with_checksum("#?? 01 QD\n\r"));

  std::strcpy(record.DllVersion, "other");
  EXPECT_EQ(bt::GetAnalogInputs(&record), 8);
  EXPECT_EQ(btPortClose(), 0);
}

// A failed write must not read as "no reply": the next raw read reports it
// once, leaves the reply queued, and the read after that stands alone.
TEST(RawLines, AnEarlierWriteFailureIsReportedOnceByTheNextRead) {
  bt_test::FarEnd module;
  ASSERT_EQ(btPortOpen(1, 9600), 0);
  ModuleRecord record = bt_test::valid_record();
  record.ReplyTimeout = 10000;

  bt::current_port()->status = bt::kBufferFull;  // as a write that did not fit leaves it
  module.send("C:0042\r");
  EXPECT_EQ(ex_read_line(&record), 103);
  EXPECT_EQ(ex_read_line(&record), 6);
  EXPECT_STREQ(record.ReplyText, "C:0042");

  // A new line written clears the old failure: its reply is read, not the error.
  bt::current_port()->status = bt::kBufferFull;
  std::strcpy(record.MessageText, "QC\r");
  EXPECT_EQ(ex_xmit_msg(&record), 3);
  EXPECT_EQ(module.wait_for_bytes(3), "QC\r");
  module.send("C:0043\r");
  EXPECT_EQ(ex_read_line(&record), 6);
  EXPECT_EQ(btPortClose(), 0);
}

}  // namespace
