// SPDX-License-Identifier: MIT
// The hexadecimal codec, the checksum rule and the command lines as built.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "command_line.h"
#include "hex_codec.h"
#include "record_fixture.h"

namespace {

std::string encoded(int16_t value, int width) {
  char out[8];
  std::memset(out, 'x', sizeof out);
  bt::hex_encode(value, width, out);
  return out;
}

TEST(HexCodec, EncodesLowDigitsOfTwosComplementWithLeadingZeros) {
  EXPECT_EQ(encoded(-1, 3), "FFF");
  EXPECT_EQ(encoded(4096, 3), "000");
  EXPECT_EQ(encoded(0x1234, 2), "34");
  EXPECT_EQ(encoded(0x7FF, 3), "7FF");
  EXPECT_EQ(encoded(10, 4), "000A");
  EXPECT_EQ(encoded(INT16_MIN, 4), "8000");
  EXPECT_EQ(encoded(0x1A5, 2), "A5");
  EXPECT_EQ(encoded(0x4, 1), "4");
}

TEST(HexCodec, DecodesEitherCaseTakesExactlyTheCountGivenAndNonHexIsZero) {
  EXPECT_EQ(bt::hex_decode("3C"), 0x3C);
  EXPECT_EQ(bt::hex_decode("3c"), 0x3C);
  EXPECT_EQ(bt::hex_decode("aBcD"), 0xABCD);
  EXPECT_EQ(bt::hex_decode(std::string_view("12:34", 2)), 0x12);
  // The 16-bit variant keeps the low bits; the wide one keeps 32.
  EXPECT_EQ(bt::hex_decode("12345"), 0x2345);
  EXPECT_EQ(bt::hex_decode_wide("123456"), 0x123456u);
  EXPECT_EQ(bt::hex_decode_wide("FFFFFFFF"), 0xFFFFFFFFu);
  EXPECT_EQ(bt::hex_decode("G1"), 0x01);
  EXPECT_EQ(bt::hex_decode("1 "), 0x10);
  EXPECT_EQ(bt::hex_decode(std::string_view("\0F", 2)), 0x0F);
  EXPECT_EQ(bt::hex_decode("zz"), 0);
}

TEST(Checksum, CommandAndReplyFollowTheSameRuleAndStopAtLineEndOrNul) {
  // Worked example: "#00 01 QE" sums to 0x1BA, so its checksum is 0x46.
  EXPECT_EQ(bt::line_sum("#00 01 QE"), 0x1BA);
  EXPECT_EQ(bt::line_checksum("#00 01 QE"), 0x46);
  EXPECT_EQ(bt::line_sum("AB\nZZ"), bt::line_sum("AB"));
  EXPECT_EQ(bt::line_sum("AB\rZZ"), bt::line_sum("AB"));
  EXPECT_EQ(bt::line_sum(std::string_view("AB\0ZZ", 5)), bt::line_sum("AB"));
  // Bytes above 127 count as their unsigned code.
  EXPECT_EQ(bt::line_sum("\xff"), 0xFF);
}

TEST(CommandLine, EmptyAddressLeavesTwoSpacesAndChecksumZeroIsTwoZeros) {
  ModuleRecord record = bt_test::valid_record("");
  bt::build_command(record, "QE");
  const std::string line = record.CommandText;
  ASSERT_EQ(line.size(), 9u);
  EXPECT_EQ(line.substr(3), "  QE\n\r");
  EXPECT_EQ((bt::line_sum("#00  QE") + bt::hex_decode(line.substr(1, 2))) % 256, 0);
  // "#00 " and " QE" sum to 345; the address "ST" adds 167, making 512.
  record = bt_test::valid_record("ST");
  bt::build_command(record, "QE");
  EXPECT_STREQ(record.CommandText, "#00 ST QE\n\r");
}

TEST(CommandLine, AddressWithoutNulIsReadOnlyWithinItsField) {
  ModuleRecord record = bt_test::valid_record();
  std::memset(record.ModuleAddress, 'A', sizeof record.ModuleAddress);  // no NUL
  std::memset(record.CommandText, 'Z', sizeof record.CommandText);
  bt::build_command(record, "RT");
  const std::string line = record.CommandText;
  EXPECT_EQ(line.substr(3), " " + std::string(20, 'A') + " RT\n\r");
}

TEST(CommandLine, PrintTextWithoutNulIsRefusedAndItsChecksumStopsAtLineEnd) {
  ModuleRecord record = bt_test::valid_record();
  std::memset(record.MessageText, 'x', sizeof record.MessageText);
  record.Status = 0x2020;  // blanks right behind the field
  std::strcpy(record.CommandText, "kept");
  EXPECT_FALSE(bt::build_print_command(record));
  EXPECT_STREQ(record.CommandText, "kept");

  // The checksum stops at the text's line end; the rest goes out all the same.
  std::strcpy(record.MessageText, "AB\rCD");
  ASSERT_TRUE(bt::build_print_command(record));
  const std::string line = record.CommandText;
  EXPECT_EQ(line.substr(3), " 01 S=AB\rCD\n\r");
  EXPECT_EQ((bt::line_sum("#00 01 S=AB") + bt::hex_decode(line.substr(1, 2))) % 256, 0);
}

}  // namespace
