// SPDX-License-Identifier: MIT
// The framed protocol end to end: checksums both ways, addressing, every
// query and setting, several modules, live values.
#include <gtest/gtest.h>

#include <chrono>
#include <iterator>
#include <sstream>
#include <thread>

#include "sim_process.h"

using namespace simtest;

namespace {

std::vector<std::string> words(const std::string& text) {
  std::istringstream in(text);
  return {std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
}

// A module whose every value is held still and distinct, so that each field
// of each reply can be checked exactly.
struct Framed : ::testing::Test {
  SimProcess sim{
      words("--no-banner --drift 0 --config 2c5 --set min4=0x100 --set max5=0x700 --set min5=0x222 "
            "--set a0=0x11 --set a1=0x22 --set a2=0x33 --set a3=0x44 --set a4=0x555 --set a5=0x666 "
            "--set d0=0x777 --set d1=0x888 --set di=0xA5 --set do=0x3C --set dir=0xF0 --set freq=0 "
            "--set total=0xABCDEF --set serial=0102030405060708")};
  Line line{sim.device()};

  // The replies to `bytes`, each without its (checked) checksum digits; a QC
  // query sent behind them marks their end, so silence costs no waiting.
  std::string ask(const std::string& bytes) {
    line.send(bytes + framed("01", "QC"));
    std::string replies;
    for (auto r = line.readLine(); r; r = line.readLine()) {
      if (!checksumValid(*r)) return "bad checksum: " + *r;
      if (r->rfind(" 01 C:", 3) == 3) return replies;
      replies += r->substr(3);
    }
    return replies + " (end marker lost)";
  }
  // The same for commands to module 01, '|' between them.
  std::string ask01(const std::string& bodies) {
    std::string bytes;
    for (size_t from = 0, to = 0; to != std::string::npos; from = to + 1) {
      to = bodies.find('|', from);
      bytes += framed("01", bodies.substr(from, to - from));
    }
    return ask(bytes);
  }
};

}  // namespace

TEST_F(Framed, QueriesAnswerTheirFieldsAndSettingsShowInLaterOnes) {
  const std::pair<const char*, const char*> steps[] = {
      {"QA", " 01 A0:11 A1:22 A2:33 A3:44 A4:555 A5:666"},
      // V in 1/100 V over 0-5 V; min/max from their options although given first.
      {"QM", " 01 A4:555 V:0A6 X:555 N:100 A5:666 V:0C8 X:700 N:222"},
      {"QD|QF|QT", " 01 D0:777 D1:888 01 F:0000 01 T:ABCDEF"},
      {"QI|QO|QB", " 01 I:AC 01 O:3C 01 B:F0"},  // lines 0-3 are outputs: the latch
      {"QS", " 01 S:01 02 03 04 05 06 07 08 "},
      {"QE",
       " 01 A0:11 A1:22 A2:33 A3:44 A4:555 A5:666 D0:777 D1:888 I:AC O:3C B:F0 F:0000 T:ABCDEF "
       "C:02C5"},
      {"Q|QX|QI 1|Q 1|", " 01"},                         // no keys queued; the rest gets no reply
      {"SO 5A|QO", " 01 O:5A"},                          // settings get no reply
      {"SO 1A5|SO|SO 5A 1|SO 5g|ZZ 12|QO", " 01 O:5A"},  // "g" is no hex digit
      {"SB 0F|QI", " 01 I:55"},
      {"SD 7FF 123|SD 1000 0|QD", " 01 D0:7FF D1:123"},
      {"RM|QM", " 01 A4:555 V:0A6 X:555 N:555 A5:666 V:0C8 X:666 N:666"},
      {"RT|QT", " 01 T:000000"},
  };
  for (const auto& [bodies, reply] : steps) EXPECT_EQ(ask01(bodies), reply) << bodies;
  auto ofLength = [](const std::string& body, size_t length) {  // ending in CR alone
    std::string l = framed("01", body + std::string(length - 7 - body.size(), ' '));
    return l.erase(l.size() - 2, 1);
  };
  // A line of 120 characters is taken, a longer one ignored.
  EXPECT_EQ(ask(ofLength("SO 77", 120) + ofLength("SO 5A", 121) + framed("01", "QO")), " 01 O:77");
  for (const char* body : {"SL 4 100 E00", "SL 4 1000 0", "SL 2 10 F0", "SL 5 FFF 0", "SL 3 100 0",
                           "SL 6 01 02", "SL 1 1", "SP 03E8 0032", "ST 1E", "ST 100"})
    line.send(framed("01", body));
  // Prints carry a tab, a quote and a byte past ASCII, which the state escapes.
  for (int i = 0; i <= 16; ++i) line.send(framed("01", "S=p" + std::to_string(i) + "\t\"\xe9"));
  const std::string s = sim.control("state");
  EXPECT_EQ(jsonArray(s, "low_limit"), (std::vector<long>{0, 0, 16, 0, 256, 4095})) << s;
  EXPECT_EQ(jsonArray(s, "high_limit"), (std::vector<long>{255, 255, 240, 255, 3584, 0})) << s;
  EXPECT_EQ(jsonNumber(s, "pwm_period"), 1000);
  EXPECT_EQ(jsonNumber(s, "pwm_percent"), 50);
  EXPECT_EQ(jsonNumber(s, "debounce"), 30);
  EXPECT_NE(s.find(R"("printed":["p1\u0009\"\u00e9",)"), std::string::npos) << s;  // the latest 16
  EXPECT_NE(s.find(R"(,"p16\u0009\"\u00e9"])"), std::string::npos) << s;
  // The worked example, its checksum worked out by hand.
  EXPECT_EQ(ask("#46 01 QE\n\r").substr(0, 13), " 01 A0:11 A1:");
}

TEST_F(Framed, OnlyAValidChecksumAndOurOwnAddressGetAnAnswer) {
  std::string badSum = framed("01", "QI");
  badSum[2] = badSum[2] == '0' ? '1' : '0';
  std::string lower = framed("01", "QO");  // checksum "3C"
  for (size_t i : {1u, 2u}) lower[i] = static_cast<char>(std::tolower(lower[i]));
  std::string crOnly = framed("01", "QI");
  crOnly.erase(crOnly.size() - 2, 1);
  const std::pair<std::string, const char*> cases[] = {
      {badSum, ""},
      {"#G0 01 QI\n\r", ""},
      {"#0 01 QI\n\r", ""},
      {framed("02", "QI"), ""},
      {framed("0", "QI"), ""},  // a prefix of our address is another address
      {framed("011", "QI"), ""},
      {lower, " 01 O:3C"},
      {"\n" + crOnly, " 01 I:AC"},  // CR alone, a leading LF
      {framed("01", "QI") + framed("01", "QO"), " 01 I:AC 01 O:3C"},
  };
  for (const auto& [bytes, reply] : cases) EXPECT_EQ(ask(bytes), reply) << bytes;
}

TEST_F(Framed, KeysAndValuesSetOnTheControlChannelShowInReplies) {
  EXPECT_EQ(sim.control("key 12a"), "ok 3 keys queued");
  EXPECT_EQ(ask01("Q|Q"), " 01 12A 01");
  EXPECT_EQ(sim.control("key 0123456789ABCDEF 0123"), "ok 21 keys queued");
  EXPECT_EQ(ask01("Q|Q"),
            " 01 0123456789ABCDEF 0 01 123");  // 18 a reply
  EXPECT_EQ(sim.control("key 12G").rfind("error", 0), 0u);

  for (const char* value : {"1000", "3000", "2000"}) {
    sim.control(std::string("set a4 ") + value);
    sim.control(std::string("set a5 ") + value);
  }
  const std::string min_max = ask01("QM");
  EXPECT_EQ(min_max.substr(0, 28), " 01 A4:7D0 V:0F4 X:BB8 N:100");
  EXPECT_EQ(fieldOf(min_max.substr(min_max.find(" A5:")), "X:", 3), "BB8");  // its own input
  // Configuration bit 5 clears min/max after each min/max query.
  sim.control("set config 0x22");
  sim.control("set a4 100");
  EXPECT_EQ(ask01("QM").substr(0, 28), " 01 A4:064 V:00C X:BB8 N:064");
  sim.control("set a4 200");
  EXPECT_EQ(ask01("QM").substr(0, 28), " 01 A4:0C8 V:018 X:0C8 N:064");
  // The totalizer counts the frequency and wraps at 24 bits.
  ASSERT_EQ(sim.control("set total 16777215"), "ok total 16777215");
  sim.control("set freq 1000");
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  const long total = jsonNumber(sim.control("state"), "totalizer");
  EXPECT_GE(total, 200);  // about 400 counts; generous for a loaded machine
  EXPECT_LE(total, 4000);
}

TEST(FramedModules, SeveralModulesAnswerEachForItselfAndTheConsoleTheFirst) {
  const std::string longAddr = "ABCDEFGHIJKLMNOPQRS";  // 19 characters
  SimProcess sim{{"--no-banner", "--drift", "0", "--set", "freq=0", "--address", "01", "--address",
                  "02", "--address", "ABCDE", "--address", longAddr, "--address", ""}};
  Line line{sim.device()};
  line.send(framed("02", "SO 22") + "CO 1234\r");
  EXPECT_EQ(line.readLine().value_or(""), "OK");
  EXPECT_EQ(line.readLine().value_or(""), "BRIM>");
  EXPECT_EQ(sim.control("set @02 di 0x81"), "ok di 0x81");
  EXPECT_EQ(sim.control("set @99 di 1").rfind("error", 0), 0u);
  const std::string qe =
      " A0:80 A1:80 A2:80 A3:80 A4:800 A5:800 D0:000 D1:000 I:00 O:00 B:FF F:0000 T:000000 C:02CF";
  std::string packed = qe;
  std::erase(packed, ' ');
  const std::pair<std::string, std::string> cases[] = {
      {framed("01", "QO"), " 01 O:00"},
      {framed("01", "QC"), " 01 C:1234"},
      {framed("02", "QC"), " 02 C:02CF"},
      {framed("02", "QO"), " 02 O:22"},
      {framed("02", "QI"), " 02 I:81"},
      {framed("", "QC"), "  C:02CF"},          // "#cc  QC"
      {framed("ABCDE", "QE"), " ABCDE" + qe},  // 99 characters: the most a line holds
      // Too long for one line with its blanks: they go, the fields stay.
      {framed(longAddr, "QE"), " " + longAddr + packed},
  };
  for (const auto& [bytes, reply] : cases) {
    line.send(bytes);
    const std::string got = line.readLine().value_or("");
    EXPECT_TRUE(checksumValid(got)) << got;
    EXPECT_EQ(got.substr(3), reply);
  }
  // Serial numbers differ between modules.
  line.send(framed("01", "QS") + framed("02", "QS"));
  EXPECT_NE(line.readLine().value_or("").substr(7), line.readLine().value_or("").substr(7));
}

TEST(FramedLive, AnalogInputsDriftWithinTheirRanges) {
  SimProcess sim{{"--no-banner", "--drift", "4095", "--seed", "7"}};
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  const std::string s = sim.control("state");
  const auto values = jsonArray(s, "analog_in");
  ASSERT_EQ(values.size(), 6u);
  for (size_t ch = 0; ch < 6; ++ch)
    EXPECT_TRUE(values[ch] >= 0 && values[ch] <= (ch < 4 ? 255 : 4095)) << values[ch];
  ASSERT_EQ(jsonArray(s, "min").size(), 2u);  // channels 4 and 5
  EXPECT_LT(jsonArray(s, "min")[0], jsonArray(s, "max")[0]);
  EXPECT_LT(jsonArray(s, "min")[1], jsonArray(s, "max")[1]);
}
