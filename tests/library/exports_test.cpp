// SPDX-License-Identifier: MIT
// The exports of the shared library, loaded by path, against a pseudo-terminal
// on which the test plays the module.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "far_end.h"
#include "library_exports.h"
#include "record_fixture.h"

namespace {

using bt_test::Call;
using bt_test::Exports;
using bt_test::FarEnd;
using bt_test::with_checksum;

const Exports& lib() {
  return Exports::get();
}

template <typename T = int16_t>
T read_field(const ModuleRecord& record, size_t offset) {
  T value;
  std::memcpy(&value, reinterpret_cast<const char*>(&record) + offset, sizeof value);
  return value;
}

TEST(Lifecycle, InitGivesZerosVersionAndTimeoutWhateverItIsPassed) {
  ModuleRecord garbage;
  std::memset(&garbage, 0x5A, sizeof garbage);
  const ModuleRecord first = lib().btInitDLL(&garbage);
  const ModuleRecord second = lib().btInitDLL(nullptr);
  ModuleRecord expected;
  std::memset(&expected, 0, sizeof expected);
  std::memcpy(expected.DllVersion, "Brimtally DLL V00-19", 20);
  expected.ReplyTimeout = 30;
  EXPECT_EQ(std::memcmp(&first, &expected, sizeof expected), 0);
  EXPECT_EQ(std::memcmp(&second, &expected, sizeof expected), 0);
}

TEST(Lifecycle, SeedWritesThePatternAtItsByteOffsets) {
  ModuleRecord record = lib().btInitDLL(nullptr);
  std::strcpy(record.ModuleAddress, "07");
  record.ReplyTimeout = 1234;
  ASSERT_EQ(lib().btSeedDLL(&record), 0);
  EXPECT_EQ(read_field(record, 380), 1);
  EXPECT_EQ(read_field<int32_t>(record, 384), 2);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(read_field(record, 388 + 2 * i), 3 + i);
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(read_field(record, 400 + 2 * i), 9 + 2 * i);   // HighLimit
    EXPECT_EQ(read_field(record, 412 + 2 * i), 10 + 2 * i);  // LowLimit
  }
  EXPECT_EQ(read_field(record, 424), 21);
  EXPECT_EQ(read_field(record, 426), 22);
  EXPECT_EQ(read_field<int32_t>(record, 428), 23);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(read_field(record, 432 + 2 * i), 24 + i);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(read_field(record, 452 + 2 * i), 100 + i);
  EXPECT_EQ(read_field<int32_t>(record, 468), 34);
  EXPECT_EQ(read_field<int32_t>(record, 472), 35);
  EXPECT_EQ(read_field<int32_t>(record, 476), 36);
  EXPECT_EQ(read_field(record, 480), 37);
  EXPECT_EQ(read_field(record, 482), 1234);
  EXPECT_STREQ(record.ModuleAddress, "07");
}

TEST(Lifecycle, PortOpenRefusesBadPortAndBaudAndReportsMissingDevice) {
  for (int16_t port : {0, 3, -1}) EXPECT_EQ(lib().btPortOpen(port, 9600), 100) << port;
  for (uint16_t baud : {0, 4800, 110, 38400, 65535})
    EXPECT_EQ(lib().btPortOpen(1, baud), 101) << baud;
  EXPECT_EQ(lib().btPortClose(), -6);  // the refusals opened nothing

  setenv("BRIMTALLY_COM1", "/nonexistent/brimtally-tty", 1);
  ASSERT_EQ(lib().btPortOpen(1, 9600), 102);
  // The failed port stays current, and every transaction on it fails.
  ModuleRecord record = bt_test::valid_record();
  EXPECT_EQ(lib().ex_read_line(&record), 103);
  EXPECT_EQ(lib().btGetAllIO(&record), 1);
  EXPECT_EQ(lib().btSetDigitalOut(&record, 1), 0);
  EXPECT_EQ(lib().btPortClose(), 0);
  EXPECT_EQ(lib().btPortClose(), -6);
}

// A port open on a pseudo-terminal whose module answers every query line
// with a bare, valid header.
class OnPty : public ::testing::Test {
 protected:
  void SetUp() override {
    module_ = std::make_unique<FarEnd>();
    module_->respond_with([](const std::string& line) -> std::string {
      if (line.find(" Q") == std::string::npos) return "";
      return with_checksum("$?? 01") + "\r";
    });
    ASSERT_EQ(lib().btPortOpen(1, 9600), 0);
    record_ = lib().btInitDLL(nullptr);
    std::strcpy(record_.ModuleAddress, "01");
    record_.ReplyTimeout = 10000;  // a reply is expected: never a time-out by bad luck
  }
  void TearDown() override { EXPECT_EQ(lib().btPortClose(), 0); }

  // Runs an operation and returns exactly the bytes it put on the line.
  std::string sent_by(const Call& call, size_t expected_size, int16_t expected_result = 0) {
    module_->clear_received();
    EXPECT_EQ(call(&record_), expected_result);
    return module_->wait_for_bytes(expected_size);
  }

  std::unique_ptr<FarEnd> module_;
  ModuleRecord record_;
};

TEST_F(OnPty, EveryCommandLineGoesOutFramedWithLfCr) {
  struct Case {
    Call call;
    std::string line;               // "??" stands for the checksum, worked out independently
    const char* literal = nullptr;  // the documented line, where there is one
  };
  const Case cases[] = {
      {[](ModuleRecord* r) { return lib().btGetAllIO(r); }, "#?? 01 QE", "#46 01 QE"},
      {[](ModuleRecord* r) { return lib().btKey(r); }, "#?? 01 Q", "#8B 01 Q"},
      {[](ModuleRecord* r) { return lib().btGetDigitalIn(r); }, "#?? 01 QI", "#42 01 QI"},
      {[](ModuleRecord* r) { return lib().btGetMinMax(r); }, "#?? 01 QM"},
      {[](ModuleRecord* r) { return lib().btGetDigitalOut(r); }, "#?? 01 QO"},
      {[](ModuleRecord* r) { return lib().btGetDigitalDirection(r); }, "#?? 01 QB"},
      {[](ModuleRecord* r) { return lib().btGetConfiguration(r); }, "#?? 01 QC"},
      {[](ModuleRecord* r) { return lib().btGetFrequency(r); }, "#?? 01 QF"},
      {[](ModuleRecord* r) { return lib().btGetTotalizer(r); }, "#?? 01 QT"},
      {[](ModuleRecord* r) { return lib().btGetSerialNumber(r); }, "#?? 01 QS"},
      {[](ModuleRecord* r) { return lib().btResetMinMax(r); }, "#?? 01 RM", "#3D 01 RM"},
      {[](ModuleRecord* r) { return lib().btResetTotalizer(r); }, "#?? 01 RT"},
      {[](ModuleRecord* r) { return lib().btSetDigitalOut(r, 0x5A); }, "#?? 01 SO 5A",
       "#A4 01 SO 5A"},
      {[](ModuleRecord* r) { return lib().btSetDigitalOut(r, 0x1A5); }, "#?? 01 SO A5"},
      {[](ModuleRecord* r) { return lib().btSetAnalogOut(r, 0x7FF, 0); }, "#?? 01 SD 7FF 000",
       "#B2 01 SD 7FF 000"},
      {[](ModuleRecord* r) { return lib().btSetAnalogOut(r, -1, 4096); }, "#?? 01 SD FFF 000"},
      {[](ModuleRecord* r) { return lib().btSetAnalogLimits(r, 4, 0x100, 0xE00); },
       "#?? 01 SL 4 100 E00", "#73 01 SL 4 100 E00"},
      {[](ModuleRecord* r) { return lib().btSetAnalogLimits(r, 5, 1, 0xFFF); },
       "#?? 01 SL 5 001 FFF"},
      {[](ModuleRecord* r) { return lib().btSetAnalogLimits(r, 2, 0x10, 0xF0); },
       "#?? 01 SL 2 10 F0"},
      {[](ModuleRecord* r) { return lib().btSetAnalogLimits(r, 7, 1, 2); }, "#?? 01 SL 7 01 02"},
      {[](ModuleRecord* r) { return lib().btSetDirection(r, 0x3C); }, "#?? 01 SB 3C"},
      {[](ModuleRecord* r) { return lib().btSetPWM(r, 1000, 50); }, "#?? 01 SP 03E8 0032",
       "#54 01 SP 03E8 0032"},
      {[](ModuleRecord* r) { return lib().btSetPWM(r, 70000, 50); }, "#?? 01 SP 1170 0032"},
      {[](ModuleRecord* r) { return lib().btSetDebounce(r, 0x12); }, "#?? 01 ST 12"},
      {[](ModuleRecord* r) {
         std::strcpy(r->MessageText, "Hello, 42");
         return lib().btPrint(r);
       },
       "#?? 01 S=Hello, 42"},
  };
  for (const Case& c : cases) {
    const std::string expected = with_checksum(c.line) + "\n\r";
    if (c.literal != nullptr) {
      ASSERT_EQ(expected, std::string(c.literal) + "\n\r");
    }
    EXPECT_EQ(sent_by(c.call, expected.size()), expected) << c.line;
    EXPECT_EQ(std::string(record_.CommandText), expected) << c.line;
    EXPECT_EQ(record_.Status, 0) << c.line;
  }
}

TEST_F(OnPty, SettingsKeepTheirValuesInTheRecord) {
  lib().btSetAnalogOut(&record_, -1, 4096);
  lib().btSetAnalogLimits(&record_, 4, 0x100, 0xE00);
  lib().btSetAnalogLimits(&record_, 5, 7, 0xFFF);  // the last channel
  lib().btSetPWM(&record_, 70000, -5);
  lib().btSetDigitalOut(&record_, 0x1A5);
  lib().btSetDirection(&record_, 0x0F);
  lib().btSetDebounce(&record_, 9);
  // Checked after all of them, so that none overwrites another's field.
  EXPECT_EQ((std::vector<int64_t>{record_.AnalogOut0, record_.AnalogOut1, record_.LowLimit[4],
                                  record_.HighLimit[4], record_.LowLimit[5], record_.HighLimit[5],
                                  record_.PwmPeriod, record_.PwmPercent, record_.DigitalOut,
                                  record_.PortDirection, record_.Debounce}),
            (std::vector<int64_t>{-1, 4096, 0x100, 0xE00, 7, 0xFFF, 70000, -5, 0x1A5, 0x0F, 9}));
}

TEST_F(OnPty, RefusedOperationsSendNothingAndKeepCommandText) {
  const char* bad_versions[] = {"", "brimtally DLL V00-19", "Brimtally DLL V00-18",
                                "Brimtally DLL V00-19 "};
  module_->clear_received();
  for (const char* version : bad_versions) {
    ModuleRecord record = record_;
    std::strcpy(record.DllVersion, version);
    std::strcpy(record.CommandText, "kept");
    for (const auto& [name, call] : bt_test::typed_operations()) {
      EXPECT_EQ(call(&record), 8) << name << " '" << version << "'";
      EXPECT_EQ(record.Status, 8) << name;
      EXPECT_STREQ(record.CommandText, "kept") << name;
    }
    EXPECT_EQ(lib().btSeedDLL(&record), 8);
    EXPECT_EQ(record.DigitalIn, 0);
  }
  // The right text with no NUL inside the field is another text.
  ModuleRecord unterminated = record_;
  std::memset(unterminated.DllVersion, ' ', sizeof unterminated.DllVersion);
  std::memcpy(unterminated.DllVersion, BT_DLL_VERSION, 20);
  EXPECT_EQ(lib().btGetAllIO(&unterminated), 8);

  // btPrint whose line would not fit: the 89th character is one too many.
  std::memset(record_.MessageText, 'x', 89);
  std::strcpy(record_.CommandText, "kept");
  EXPECT_EQ(lib().btPrint(&record_), 10);
  EXPECT_EQ(record_.Status, 10);
  EXPECT_STREQ(record_.CommandText, "kept");

  // Only the marker reaches the module; raw lines take any version.
  ModuleRecord versionless = record_;
  versionless.DllVersion[0] = '\0';
  std::strcpy(versionless.MessageText, "END\r");
  ASSERT_EQ(lib().ex_xmit_msg(&versionless), 4);
  EXPECT_EQ(module_->wait_for_bytes(4), "END\r");

  record_.MessageText[88] = '\0';
  std::memset(record_.MessageText, 'x', 88);
  const std::string longest = with_checksum("#?? 01 S=" + std::string(88, 'x')) + "\n\r";
  EXPECT_EQ(sent_by([](ModuleRecord* r) { return lib().btPrint(r); }, longest.size()), longest);
}

TEST_F(OnPty, XmitSendsUpToTheFirstCrAndClearsTheRest) {
  std::memset(record_.MessageText, ' ', sizeof record_.MessageText);
  std::memcpy(record_.MessageText, "QC\r", 3);
  EXPECT_EQ(sent_by([](ModuleRecord* r) { return lib().ex_xmit_msg(r); }, 3, 3), "QC\r");
  EXPECT_EQ(std::string(record_.MessageText, 100), std::string("QC\r") + std::string(97, '\0'));

  std::strcpy(record_.MessageText, "CO 1F");
  std::memcpy(record_.MessageText + 6, "junk", 4);
  EXPECT_EQ(sent_by([](ModuleRecord* r) { return lib().ex_xmit_msg(r); }, 5, 5), "CO 1F");
  EXPECT_EQ(std::memcmp(record_.MessageText + 6, "junk", 4), 0);
}

TEST_F(OnPty, ReadLineKeepsPrintableCharactersOfOneLineAndOverlongFailsOnce) {
  std::strcpy(record_.ReplyText, "previous");
  module_->send("$C3 01 I:3C\n\r");
  EXPECT_EQ(lib().ex_read_line(&record_), 11);
  EXPECT_STREQ(record_.ReplyText, "$C3 01 I:3C");

  module_->send(
      "A\x01"
      "B\xff\xa0"
      "C\x7f~\r");
  EXPECT_EQ(lib().ex_read_line(&record_), 4);
  EXPECT_STREQ(record_.ReplyText, "ABC~");

  module_->send("\n\r");
  EXPECT_EQ(lib().ex_read_line(&record_), 0);
  EXPECT_STREQ(record_.ReplyText, "");

  std::strcpy(record_.ReplyText, "previous");
  record_.ReplyTimeout = 30;
  EXPECT_EQ(lib().ex_read_line(&record_), 0);
  EXPECT_STREQ(record_.ReplyText, "previous");
  EXPECT_EQ(lib().btSeedDLL(&record_), 0);  // the version check does not apply to reads

  // An overlong line fails that read only.
  record_.ReplyTimeout = 10000;
  std::strcpy(record_.ReplyText, "previous");
  module_->send(std::string(150, 'L') + "\r");
  EXPECT_EQ(lib().ex_read_line(&record_), 103);
  EXPECT_STREQ(record_.ReplyText, "previous");
  // The rest of that line is read next, and the error does not stick.
  const int16_t rest = lib().ex_read_line(&record_);
  EXPECT_GT(rest, 0);
  EXPECT_LT(rest, 100);
  EXPECT_EQ(std::string(record_.ReplyText), std::string(rest, 'L'));

  module_->send(std::string(120, 'L') + "\r");
  EXPECT_EQ(lib().ex_read_line(&record_), 103);
  EXPECT_EQ(lib().btGetDigitalIn(&record_), 0);  // the query's flush took the rest

  // A query that fails on an over-long reply reports it itself; the next raw
  // read reads what is there, not the error again nor the reply's tail.
  module_->respond_with([](const std::string&) { return std::string(131, 'R') + "\r"; });
  EXPECT_EQ(lib().btGetDigitalIn(&record_), 1);
  module_->send("HELLO\r");
  EXPECT_EQ(lib().ex_read_line(&record_), 5);
  EXPECT_STREQ(record_.ReplyText, "HELLO");
}

TEST_F(OnPty, QueryVerdictsAndStoredFieldsFromTheLine) {
  std::string reply;
  module_->respond_with([&reply](const std::string&) { return reply; });
  auto verdict = [&](std::string text, Call call) {
    reply = std::move(text);
    return call(&record_);
  };
  const Call all_io = [](ModuleRecord* r) { return lib().btGetAllIO(r); };
  const Call key = [](ModuleRecord* r) { return lib().btKey(r); };

  // The worked example, stored with its checksum digits zeroed.
  EXPECT_EQ(verdict("$C3 01 I:3C O:0F\r", [](ModuleRecord* r) { return lib().btGetDigitalIn(r); }),
            0);
  EXPECT_EQ(record_.DigitalIn, 0x3C);
  EXPECT_EQ(record_.DigitalOut, 0x0F);
  EXPECT_STREQ(record_.ReplyText, "$00 01 I:3C O:0F");
  record_.DigitalIn = 0;  // so that the checks below see their own replies
  record_.ReplyText[0] = '\0';

  // Control characters and bytes above 127 are dropped before the checks;
  // a verdict reaches the caller and Status, and stores no value.
  EXPECT_EQ(verdict(with_checksum("$?? 01 I:3C") + "\n\x01\xe9\r", all_io), 0);
  EXPECT_EQ(record_.DigitalIn, 0x3C);
  EXPECT_EQ(verdict(with_checksum("$?? 02 I:11") + "\r", all_io), 5);
  EXPECT_EQ(record_.Status, 5);
  EXPECT_EQ(record_.DigitalIn, 0x3C);

  std::strcpy(record_.KeyText, "stale keys");
  EXPECT_EQ(verdict("$37 01 12A\r", key), 0);
  EXPECT_EQ(std::string(record_.KeyText, 20), std::string(" 12A") + std::string(16, '\0'));

  // Nothing at all within the time-out.
  record_.ReplyTimeout = 40;
  std::strcpy(record_.KeyText, "stale");
  EXPECT_EQ(verdict("", key), 1);
  EXPECT_STREQ(record_.KeyText, "");
  EXPECT_EQ(verdict("", all_io), 1);
  EXPECT_EQ(record_.DigitalIn, 0x3C);
}

TEST_F(OnPty, SendWaitsThenDiscardsThreeStaleLines) {
  const Call query = [](ModuleRecord* r) { return lib().btGetDigitalIn(r); };
  module_->respond_with([](const std::string& line) -> std::string {
    return line.find(" QI") != std::string::npos ? with_checksum("$?? 01 I:77") + "\r" : "";
  });
  module_->send("$00 01 I:01\r$00 01 I:02\rjunk\r");
  EXPECT_EQ(query(&record_), 0);
  EXPECT_EQ(record_.DigitalIn, 0x77);

  // An over-long stale line is stale all the same: it fails no transaction.
  module_->send(std::string(150, 'S') + "\r");
  EXPECT_EQ(query(&record_), 0);
  EXPECT_EQ(record_.DigitalIn, 0x77);

  // A fourth stale line is read as the reply.
  module_->send("one\rtwo\rthree\rfour\r");
  EXPECT_EQ(query(&record_), 2);
  EXPECT_STREQ(record_.ReplyText, "four");

  // The reply to that query is still waiting; take it.
  EXPECT_GT(lib().ex_read_line(&record_), 0);
  EXPECT_STREQ(record_.ReplyText, with_checksum("$?? 01 I:77").c_str());

  // With nothing stale, the command leaves after the 50 ms pause and three
  // 10 ms reads that find nothing (the tick is whole milliseconds, hence 75).
  module_->clear_received();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(query(&record_), 0);
  const auto waited = module_->first_byte_time() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(75));
}

TEST_F(OnPty, RefusedOpenLeavesThePortAndOpeningAgainClosesIt) {
  EXPECT_EQ(lib().btPortOpen(3, 9600), 100);
  EXPECT_EQ(lib().btPortOpen(1, 4800), 101);
  std::strcpy(record_.MessageText, "still\r");
  EXPECT_EQ(sent_by([](ModuleRecord* r) { return lib().ex_xmit_msg(r); }, 6, 6), "still\r");
  // The device is locked while open, so this succeeds only if it was closed.
  ASSERT_EQ(lib().btPortOpen(1, 57600), 0);
  const std::string expected = with_checksum("#?? 01 RT") + "\n\r";
  EXPECT_EQ(sent_by([](ModuleRecord* r) { return lib().btResetTotalizer(r); }, expected.size()),
            expected);
}

TEST(SecondPort, PortTwoUsesItsOwnDeviceAndANamedPortNeedsNoVariable) {
  FarEnd module("BRIMTALLY_COM2");
  char device[64];
  ASSERT_EQ(lib().btPortDevice(2, device, sizeof device), 0);
  EXPECT_EQ(device, module.slave_path());
  EXPECT_EQ(lib().btPortDevice(2, device, 4), BT_TOO_LONG);
  EXPECT_STREQ(device, "");
  EXPECT_EQ(lib().btPortDevice(3, device, sizeof device), BT_BAD_PORT);
  ASSERT_EQ(lib().btPortOpen(2, 19200), 0);
  ModuleRecord record = bt_test::valid_record();
  std::strcpy(record.MessageText, "COM2\r");
  EXPECT_EQ(lib().ex_xmit_msg(&record), 5);
  EXPECT_EQ(module.wait_for_bytes(5), "COM2\r");

  unsetenv("BRIMTALLY_COM2");
  ASSERT_EQ(lib().btPortDevice(2, device, sizeof device), 0);
  EXPECT_STREQ(device, "/dev/ttyS1");
  for (const std::string& bad : {std::string(), std::string(4096, 'x')}) {
    EXPECT_EQ(lib().btPortOpenName(bad.c_str(), 9600), BT_BAD_PORT);
  }
  EXPECT_EQ(lib().btPortOpenName(module.slave_path().c_str(), 4800), BT_BAD_BAUD);
  EXPECT_EQ(lib().btPortOpenName("/nonexistent/tty", 9600), BT_OPEN_FAILED);
  ASSERT_EQ(lib().btPortOpenName(module.slave_path().c_str(), 9600), 0);
  module.clear_received();
  EXPECT_EQ(lib().ex_xmit_msg(&record), 5);
  EXPECT_EQ(module.wait_for_bytes(5), "COM2\r");
  EXPECT_EQ(lib().btPortClose(), 0);
}

TEST(SymbolTable, ExportsExactlyTheClientInterface) {
  const std::string command = std::string("nm -D --defined-only ") + BRIMTALLY_LIBRARY_PATH;
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::set<std::string> names;
  char line[512];
  while (std::fgets(line, sizeof line, pipe) != nullptr) {
    char address[64], type[8], name[256];
    if (std::sscanf(line, "%63s %7s %255s", address, type, name) == 3) names.insert(name);
  }
  ASSERT_EQ(pclose(pipe), 0);
  const std::set<std::string> expected = {
#define BT_TEST_NAME(name) #name,
      BT_TEST_EXPORTS(BT_TEST_NAME)
#undef BT_TEST_NAME
  };
  EXPECT_EQ(names, expected);
  EXPECT_EQ(expected.size(), 29u);
}

}  // namespace
