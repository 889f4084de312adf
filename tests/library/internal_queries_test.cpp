// The two queries that are built like the exported ones but not exported.
#include <gtest/gtest.h>

#include <cstring>

#include "pty_module.h"
#include "queries.h"
#include "record_fixture.h"

namespace {

using bt_test::with_checksum;

TEST(InternalQueries, AnalogInputsAndOutputsAskWithQaAndQd) {
  bt_test::PtyModule module;
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

}  // namespace
