// SPDX-License-Identifier: MIT
// One harness for faults through the real library against the real simulator:
// a session with the port open and one good transaction behind it, a faulted
// query checked against its deadline, and the fields it changed.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "record_diff.h"
#include "sim_session.h"

namespace bt_test {

using Fields = std::set<std::string>;

class LibraryFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(lib().btPortOpen(1, 9600), BT_OK);
    // CommandText then already holds the query, so a fault's changes stand out.
    expect_transaction_succeeds();
  }

  static const Exports& lib() { return SimSession::lib(); }

  // A query under the current faults; its time is checked against its deadline.
  int16_t faulted_query() {
    record_.DigitalIn = -1;  // a value no reply carries
    std::strcpy(record_.ReplyText, "(before)");
    before_ = record_;
    long ms = 0;
    const int16_t status = timed(ms, [&] { return lib().btGetDigitalIn(&record_); });
    EXPECT_LE(ms, query_deadline(record_) + kLateMs);
    return status;
  }
  Fields changed() const { return changed_fields(before_, record_); }

  void expect_transaction_succeeds() {
    record_.DigitalIn = -1;
    long ms = 0;
    EXPECT_EQ(timed(ms, [&] { return lib().btGetDigitalIn(&record_); }), BT_OK)
        << record_.ReplyText;
    EXPECT_EQ(record_.DigitalIn, 0x3C);
    EXPECT_LE(ms, query_deadline(record_) + kLateMs);
  }

  // A query on a port that cannot answer: no reply, nothing but Status
  // changed, within its deadline; the raw reader reports the error.
  void expect_dead_port() {
    record_.Status = -1;
    std::strcpy(record_.CommandText, with_checksum("#?? 01 QI\n\r").c_str());
    EXPECT_EQ(faulted_query(), BT_NO_REPLY);
    EXPECT_EQ(changed(), Fields{"Status"});
    long ms = 0;
    EXPECT_EQ(timed(ms, [&] { return lib().ex_read_line(&record_); }), BT_READ_ERROR);
    EXPECT_LE(ms, record_.ReplyTimeout + kLateMs);
  }

  // Brings a vanished device back and opens it again under its new name.
  void return_and_reopen() {
    ASSERT_EQ(session_.sim().control("fault return").rfind("ok return /dev/", 0), 0u);
    const auto path = session_.sim().nextOutputLine(5000);
    ASSERT_TRUE(path.has_value());
    session_.use_device(*path);
    long ms = 0;
    EXPECT_EQ(timed(ms, [] { return lib().btPortOpen(1, 9600); }), BT_OK);
    EXPECT_LE(ms, kLateMs);
  }

  void fault(const std::string& command) {
    ASSERT_EQ(session_.sim().control("fault " + command), "ok fault " + command);
  }
  long injected(const std::string& kind) {
    return simtest::jsonNumber(session_.sim().control("counts"), kind);
  }

  SimSession session_;
  ModuleRecord record_ = session_record();
  ModuleRecord before_{};
};

}  // namespace bt_test
