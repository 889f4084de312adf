// SPDX-License-Identifier: MIT
// The peer clients must do the library's work, no less: the same command
// line on the wire and the same verdict on a reply's frame.
#include "framed_query.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "brimtally.h"
#include "command_line.h"
#include "reply_scanner.h"

namespace {

ModuleRecord record_for(const char* address) {
  ModuleRecord record{};
  std::strcpy(record.DllVersion, BT_DLL_VERSION);
  std::strcpy(record.ModuleAddress, address);
  return record;
}

TEST(PeerFraming, QueryLinesMatchTheLibrarysByteForByte) {
  char line[100];
  framed_query("01", "QE", line, sizeof line);
  EXPECT_STREQ(line, "#46 01 QE\n\r");
  for (const char* address : {"01", "", "7", "ABCDEFGHIJKLMNOPQRS"}) {
    for (const char* letters : {"QE", "QI", "QC", "Q"}) {
      ModuleRecord record = record_for(address);
      bt::build_command(record, letters);
      framed_query(address, letters, line, sizeof line);
      EXPECT_STREQ(line, record.CommandText) << "address '" << address << "' " << letters;
    }
  }
}

TEST(PeerFraming, ReplyVerdictMatchesTheLibrarysFrameChecks) {
  // Frames only: "$", checksum, address. Field errors are the library's alone.
  for (const char* reply :
       {"$C3 01 I:3C O:0F", "$c3 01 I:3C O:0F", "$C4 01 I:3C O:0F", "$C3 02 I:3C O:0F",
        "#C3 01 I:3C O:0F", "$G3 01 I:3C O:0F", "$FB 01", "$5E 01", "$FB 0", "$", "$C3 012 I:3C"}) {
    ModuleRecord record = record_for("01");
    std::strncpy(record.ReplyText, reply, sizeof record.ReplyText - 1);
    const bool library_accepts = bt::scan_reply_text(record, bt::ScanMode::kFields) == 0;
    EXPECT_EQ(reply_is_valid(reply, "01") != 0, library_accepts) << reply;
  }
}

}  // namespace
