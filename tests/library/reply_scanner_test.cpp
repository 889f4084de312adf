// SPDX-License-Identifier: MIT
// The scanner's verdicts and what it stores, on replies placed in ReplyText.
#include "reply_scanner.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "record_fixture.h"

namespace {

using bt_test::valid_record;
using bt_test::with_checksum;

// Scans `reply` as the reader would have left it in ReplyText.
int16_t scan(ModuleRecord& record, const std::string& reply,
             bt::ScanMode mode = bt::ScanMode::kFields) {
  std::memset(record.ReplyText, 0, sizeof record.ReplyText);
  std::memcpy(record.ReplyText, reply.data(), reply.size());
  return bt::scan_reply_text(record, mode);
}

using Values = std::vector<int64_t>;

TEST(ReplyScanner, HeaderVerdictsChangeNoFieldButZeroTheChecksumDigits) {
  struct Case {
    const char* reply;
    int16_t verdict;
    const char* stored = nullptr;  // ReplyText after the scan, where it is checked
  };
  const Case cases[] = {
      {"C3 01 I:3C", 2},                            // no "$"
      {"", 2},                                      // empty line
      {"$C4 01 I:3C O:0F", 3, "$00 01 I:3C O:0F"},  // off by one, digits zeroed anyway
      {"$", 3},                                     // no checksum digits at all
      {"$C", 3, "$C"},     // one checksum digit: too short to zero, left as received
      {"$00 02 I:3C", 5},  // checksum replaced below; another module
      {"$00 0", 5},        // address cut short
      {"$FB 01", 0},       // a bare header is a valid reply
      {"$00", 5},          // no address at all
  };
  for (const Case& c : cases) {
    std::string reply = c.reply;
    if (c.verdict == 5) reply = with_checksum(reply);
    ModuleRecord record = valid_record();
    record.DigitalIn = 0x55;
    const ModuleRecord before = record;
    EXPECT_EQ(scan(record, reply), c.verdict) << c.reply;
    EXPECT_EQ(record.Status, c.verdict) << c.reply;
    // No field from ConfigBits to the end of the record changed.
    EXPECT_EQ(std::memcmp(&record.ConfigBits, &before.ConfigBits,
                          sizeof(ModuleRecord) - offsetof(ModuleRecord, ConfigBits)),
              0)
        << c.reply;
    if (c.stored != nullptr) {
      EXPECT_STREQ(record.ReplyText, c.stored) << c.reply;
    }
  }
}

TEST(ReplyScanner, LowercaseChecksumIsAcceptedLowercaseTagsAreSkipped) {
  // Only the tag is skipped: its digits are scanned like any other text, so
  // a hex letter among them would start a field of its own.
  ModuleRecord record = valid_record();
  std::string reply = with_checksum("$?? 01 i:12 O:0F");
  reply[1] = static_cast<char>(std::tolower(reply[1]));
  reply[2] = static_cast<char>(std::tolower(reply[2]));
  EXPECT_EQ(scan(record, reply), 0);
  EXPECT_EQ(record.DigitalIn, 0);
  EXPECT_EQ(record.DigitalOut, 0x0F);
}

TEST(ReplyScanner, OnlyTheAddresssOwnLengthIsCompared) {
  ModuleRecord record = valid_record();
  EXPECT_EQ(scan(record, with_checksum("$?? 012 I:3C")), 0);
  EXPECT_EQ(record.DigitalIn, 0x3C);
  // The character at position 3 is not examined.
  EXPECT_EQ(scan(record, with_checksum("$??X01 I:44")), 0);
  EXPECT_EQ(record.DigitalIn, 0x44);
  // An empty address matches any reply.
  ModuleRecord anonymous = valid_record("");
  EXPECT_EQ(scan(anonymous, with_checksum("$??")), 0);
  EXPECT_EQ(scan(anonymous, with_checksum("$?? 71 I:21")), 0);
  EXPECT_EQ(anonymous.DigitalIn, 0x21);
}

TEST(ReplyScanner, StoresEveryTagAtItsWidth) {
  ModuleRecord record = valid_record();
  const std::string reply = with_checksum(
      "$?? 01 A0:01 A1:02 A2:03 A3:FF A4:ABC A5:123 B:5A D0:7FF D1:001 F:BEEF I:3C "
      "O:0F T:123456");
  EXPECT_EQ(scan(record, reply), 0);
  // In the reply's order: A0..A5, B, D0, D1, F, I, O, T.
  EXPECT_EQ((Values{record.AnalogIn0, record.AnalogIn1, record.AnalogIn2, record.AnalogIn3,
                    record.AnalogIn4, record.AnalogIn5, record.PortDirection, record.AnalogOut0,
                    record.AnalogOut1, record.Frequency, record.DigitalIn, record.DigitalOut,
                    record.Totalizer}),
            (Values{1, 2, 3, 0xFF, 0xABC, 0x123, 0x5A, 0x7FF, 1, 0xBEEF, 0x3C, 0x0F, 0x123456}));
}

TEST(ReplyScanner, DigitsAreTakenByCountNotBySeparator) {
  ModuleRecord record = valid_record();
  // "I:" takes two digits; the third is a stray digit and skipped.
  EXPECT_EQ(scan(record, with_checksum("$?? 01 I:123 O:1")), 6);  // O: runs out
  EXPECT_EQ(record.DigitalIn, 0x12);
  // A non-hex digit counts as 0.
  EXPECT_EQ(scan(record, with_checksum("$?? 01 I:G7")), 0);
  EXPECT_EQ(record.DigitalIn, 0x07);
}

TEST(ReplyScanner, ConfigurationAndSerialNumberEndTheScan) {
  ModuleRecord record = valid_record();
  EXPECT_EQ(scan(record, with_checksum("$?? 01 C:00FF I:12")), 0);
  EXPECT_EQ(record.ConfigBits, 0xFF);
  EXPECT_EQ(record.DigitalIn, 0);

  EXPECT_EQ(scan(record, with_checksum("$?? 01 S:01-02-03-04-05-06-07-F8 I:12 A6:00")), 0);
  for (int i = 0; i < 7; ++i) EXPECT_EQ(record.SerialNumber[i], i + 1);
  EXPECT_EQ(record.SerialNumber[7], 0xF8);
  EXPECT_EQ(record.DigitalIn, 0);

  // The last group may end the line; separators are not checked.
  ModuleRecord other = valid_record();
  EXPECT_EQ(scan(other, with_checksum("$?? 01 S:10:11:12:13:14:15:16:17")), 0);
  EXPECT_EQ(other.SerialNumber[0], 0x10);
  EXPECT_EQ(other.SerialNumber[7], 0x17);
}

TEST(ReplyScanner, MalformedFieldsStopTheScanAndKeepEarlierFields) {
  const char* replies[] = {
      "$?? 01 O:0F A6:10 I:3C",     // channel digit out of range
      "$?? 01 O:0F D2:100 I:3C",    // analog output 2 does not exist
      "$?? 01 O:0F A:10 I:3C",      // no channel digit
      "$?? 01 O:0F I 3C",           // no ":"
      "$?? 01 O:0F V:123 I:3C",     // no channel yet
      "$?? 01 O:0F A3:10 X:123",    // channel 3 has no extremes
      "$?? 01 O:0F T:1234",         // digits run past the end
      "$?? 01 O:0F S:01 02 03 04",  // serial number cut short
      "$?? 01 O:0F A",              // tag at the very end
  };
  for (const char* text : replies) {
    ModuleRecord record = valid_record();
    record.DigitalIn = 0x55;
    EXPECT_EQ(scan(record, with_checksum(text)), 6) << text;
    EXPECT_EQ(record.DigitalOut, 0x0F) << text;
    EXPECT_EQ(record.DigitalIn, 0x55) << text;
    EXPECT_EQ(record.Totalizer, 0) << text;
    EXPECT_EQ(record.SerialNumber[0], 0) << text;
  }
}

TEST(ReplyScanner, ExtremesFollowTheLastAnalogChannel) {
  ModuleRecord record = valid_record();
  EXPECT_EQ(scan(record, with_checksum("$?? 01 A4:123 V:456 X:789 N:00A A5:FFF V:001 X:002 N:003")),
            0);
  EXPECT_EQ((Values{record.AnalogIn4, record.Analog4V, record.Analog4Max, record.Analog4Min,
                    record.AnalogIn5, record.Analog5V, record.Analog5Max, record.Analog5Min}),
            (Values{0x123, 0x456, 0x789, 0x00A, 0xFFF, 1, 2, 3}));

  // A later 8-bit channel ends the run of extremes.
  ModuleRecord again = valid_record();
  EXPECT_EQ(scan(again, with_checksum("$?? 01 A5:100 A0:01 N:222")), 6);
  EXPECT_EQ(again.AnalogIn0, 1);
  EXPECT_EQ(again.Analog5Min, 0);
  EXPECT_EQ(again.Analog4Min, 0);

  // No channel carries over from an earlier reply.
  ModuleRecord fresh = valid_record();
  ASSERT_EQ(scan(fresh, with_checksum("$?? 01 A4:123")), 0);
  EXPECT_EQ(scan(fresh, with_checksum("$?? 01 V:456")), 6);
  EXPECT_EQ(fresh.Analog4V, 0);
}

TEST(KeyScanner, KeysAreUpperCasedAfterTheHeaderChecksAndAtMostNineteenKept) {
  ModuleRecord record = valid_record();
  EXPECT_EQ(scan(record, with_checksum("$?? 01 ab9"), bt::ScanMode::kKeys), 0);
  EXPECT_STREQ(record.KeyText, " AB9");
  EXPECT_EQ(scan(record, with_checksum("$?? 02 12"), bt::ScanMode::kKeys), 5);
  EXPECT_EQ(scan(record, "$00 01 12", bt::ScanMode::kKeys), 3);

  // At most nineteen keys are kept, but all of them are checked.
  std::memset(record.KeyText, 0, sizeof record.KeyText);
  std::memset(record.MessageText, 'M', sizeof record.MessageText);
  EXPECT_EQ(scan(record, with_checksum("$?? 01 0123456789ABCDEF0123456789"), bt::ScanMode::kKeys),
            0);
  EXPECT_EQ(std::string(record.KeyText, sizeof record.KeyText),
            std::string(" 0123456789ABCDEF01") + '\0');
  EXPECT_EQ(record.MessageText[0], 'M');
  std::memset(record.KeyText, 0, sizeof record.KeyText);
  EXPECT_EQ(scan(record, with_checksum("$?? 01 0123456789ABCDEF01234Z"), bt::ScanMode::kKeys), 7);
}

}  // namespace
