// The framed protocol end to end: checksums both ways, addressing, every
// query and setting, several modules, live values.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <regex>
#include <thread>

#include "sim_process.h"

using namespace simtest;

namespace {

struct Fixture : ::testing::Test {
  SimProcess sim{{"--no-banner", "--drift", "0"}};
  Line line{sim.device()};

  std::string query(std::string_view body, std::string_view address = "01") {
    line.send(framed(address, body));
    return line.readLine().value_or("(no reply)");
  }
  std::string state() { return sim.control("state"); }
};

}  // namespace

TEST_F(Fixture, EachQueryAnswersWithItsFieldsAtTheirWidths) {
  const std::pair<const char*, const char*> cases[] = {
      {"QE",
       R"( A0:[0-9A-F]{2} A1:[0-9A-F]{2} A2:[0-9A-F]{2} A3:[0-9A-F]{2} A4:[0-9A-F]{3} A5:[0-9A-F]{3} )"
       R"(D0:[0-9A-F]{3} D1:[0-9A-F]{3} I:[0-9A-F]{2} O:[0-9A-F]{2} B:[0-9A-F]{2} F:[0-9A-F]{4} )"
       R"(T:[0-9A-F]{6} C:02CF)"},
      {"QA",
       R"( A0:[0-9A-F]{2} A1:[0-9A-F]{2} A2:[0-9A-F]{2} A3:[0-9A-F]{2} A4:[0-9A-F]{3} A5:[0-9A-F]{3})"},
      {"QM",
       R"( A4:[0-9A-F]{3} V:[0-9A-F]{3} X:[0-9A-F]{3} N:[0-9A-F]{3} A5:[0-9A-F]{3} V:[0-9A-F]{3} X:[0-9A-F]{3} N:[0-9A-F]{3})"},
      {"QD", R"( D0:[0-9A-F]{3} D1:[0-9A-F]{3})"},
      {"QI", R"( I:[0-9A-F]{2})"},
      {"QO", R"( O:[0-9A-F]{2})"},
      {"QB", R"( B:[0-9A-F]{2})"},
      {"QC", R"( C:02CF)"},
      {"QF", R"( F:[0-9A-F]{4})"},
      {"QT", R"( T:[0-9A-F]{6})"},
      {"QS", R"( S:([0-9A-F]{2} ){8})"},
      {"Q", R"()"},
  };
  for (const auto& [cmd, fields] : cases) {
    // QE goes out as the worked example, its checksum worked out by hand.
    if (std::string_view(cmd) == "QE") line.send("#46 01 QE\n\r");
    const std::string reply =
        std::string_view(cmd) == "QE" ? line.readLine().value_or("") : query(cmd);
    EXPECT_LE(reply.size(), 99u) << cmd;
    EXPECT_TRUE(checksumValid(reply)) << cmd << ": " << reply;
    EXPECT_TRUE(std::regex_match(reply, std::regex(std::string(R"(\$[0-9A-F]{2} 01)") + fields)))
        << cmd << ": " << reply;
  }
}

TEST_F(Fixture, SettingsShowInLaterQueriesAndState) {
  line.send(framed("01", "SD 7FF 123"));
  line.send(framed("01", "SO 5A"));
  line.send(framed("01", "SB 0F"));
  line.send(framed("01", "SP 03E8 0032"));
  line.send(framed("01", "ST 1E"));
  line.send(framed("01", "SL 4 100 E00"));
  line.send(framed("01", "SL 2 10 F0"));
  line.send(framed("01", "S=Hello printer"));
  EXPECT_EQ(fieldOf(query("QD"), "D0:", 3), "7FF");
  EXPECT_EQ(fieldOf(query("QD"), "D1:", 3), "123");
  EXPECT_EQ(fieldOf(query("QO"), "O:", 2), "5A");
  EXPECT_EQ(fieldOf(query("QB"), "B:", 2), "0F");
  // Lines 4-7 are outputs now and read back the output latch (0x5A).
  EXPECT_EQ(fieldOf(query("QI"), "I:", 2), "50");
  const std::string s = state();
  EXPECT_EQ(jsonNumber(s, "pwm_period"), 1000);
  EXPECT_EQ(jsonNumber(s, "pwm_percent"), 50);
  EXPECT_EQ(jsonNumber(s, "debounce"), 30);
  EXPECT_NE(s.find("\"low_limit\":[0,0,16,0,256,0]"), std::string::npos) << s;
  EXPECT_NE(s.find("\"high_limit\":[255,255,240,255,3584,4095]"), std::string::npos) << s;
  EXPECT_NE(s.find("\"printed\":[\"Hello printer\"]"), std::string::npos) << s;
  // Settings get no reply.
  EXPECT_EQ(line.readFor(150), "");
}

TEST_F(Fixture, MalformedSettingsAndOverlongLinesAreIgnored) {
  line.send(framed("01", "SO 5A"));
  line.send(framed("01", "SO 1A5"));                         // three digits
  line.send(framed("01", "SO"));                             // no argument
  line.send(framed("01", "SL 7 01 02"));                     // no such channel
  line.send(framed("01", "ZZ 12"));                          // no such command
  line.send(std::string(150, '7') + framed("01", "SO 77"));  // overflows the receive buffer
  EXPECT_EQ(fieldOf(query("QO"), "O:", 2), "5A");
  const std::string s = state();
  EXPECT_NE(s.find("\"low_limit\":[0,0,0,0,0,0]"), std::string::npos) << s;
}

TEST_F(Fixture, OnlyAValidChecksumAndOurOwnAddressGetAnAnswer) {
  std::string bad = framed("01", "QI");
  bad[2] = bad[2] == '0' ? '1' : '0';
  line.send(bad);
  line.send(framed("02", "QI"));
  line.send(framed("0", "QI"));  // a prefix of our address is another address
  line.send(framed("011", "QI"));
  EXPECT_EQ(line.readFor(300), "");
  // The line still works afterwards.
  EXPECT_TRUE(checksumValid(query("QI")));
  // Lowercase checksum digits, CR alone and a leading LF are accepted.
  std::string lower = framed("01", "QC");
  for (int i = 1; i <= 2; ++i)
    lower[static_cast<size_t>(i)] = static_cast<char>(std::tolower(lower[static_cast<size_t>(i)]));
  line.send(lower);
  EXPECT_EQ(fieldOf(line.readLine().value_or(""), "C:", 4), "02CF");
  std::string crOnly = framed("01", "QC");
  crOnly.erase(crOnly.size() - 2, 1);  // drop the LF
  line.send("\n" + crOnly);
  EXPECT_EQ(fieldOf(line.readLine().value_or(""), "C:", 4), "02CF");
}

TEST_F(Fixture, KeysQueuedOnTheControlChannelComeBackOnce) {
  EXPECT_EQ(sim.control("key 12a"), "ok 3 keys queued");
  std::string reply = query("Q");
  EXPECT_TRUE(checksumValid(reply));
  EXPECT_EQ(reply, "$37 01 12A");
  EXPECT_EQ(query("Q").substr(3), " 01");
  EXPECT_EQ(sim.control("key 0123456789ABCDEF 0123"), "ok 21 keys queued");
  EXPECT_EQ(query("Q").substr(3), " 01 0123456789ABCDEF 0");
  EXPECT_EQ(query("Q").substr(3), " 01 123");
  EXPECT_EQ(sim.control("key 12G").rfind("error", 0), 0u);
}

TEST_F(Fixture, MinMaxFollowChannels4And5AndReset) {
  ASSERT_EQ(sim.control("set a4 1000"), "ok a4 1000");
  sim.control("set a4 3000");
  sim.control("set a4 2000");
  std::string qm = query("QM");
  EXPECT_EQ(fieldOf(qm, "A4:", 3), "7D0");
  EXPECT_EQ(fieldOf(qm, "V:", 3), "0F4");  // 2000 of 4095 at 5 V: 2.44 V
  EXPECT_EQ(fieldOf(qm, "X:", 3), "BB8");
  line.send(framed("01", "RM"));
  qm = query("QM");
  EXPECT_EQ(fieldOf(qm, "X:", 3), "7D0");
  EXPECT_EQ(fieldOf(qm, "N:", 3), "7D0");
  // Configuration bit 5 clears min/max after each min/max query.
  sim.control("set config 0x22");
  sim.control("set a4 100");
  EXPECT_EQ(fieldOf(query("QM"), "N:", 3), "064");
  sim.control("set a4 200");
  EXPECT_EQ(fieldOf(query("QM"), "X:", 3), "0C8");  // 7D0 had it not been cleared
}

TEST_F(Fixture, TotalizerCountsTheFrequencyAndResets) {
  sim.control("set freq 1000");
  const auto t0 = std::stol(fieldOf(query("QT"), "T:", 6), nullptr, 16);
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  const auto t1 = std::stol(fieldOf(query("QT"), "T:", 6), nullptr, 16);
  EXPECT_GE(t1 - t0, 200);  // about 400 counts; generous for a loaded machine
  line.send(framed("01", "RT"));
  const auto t2 = std::stol(fieldOf(query("QT"), "T:", 6), nullptr, 16);
  EXPECT_LT(t2, t1);
  EXPECT_EQ(fieldOf(query("QF"), "F:", 4), "03E8");
}

TEST(FramedModules, SeveralModulesAnswerEachForItselfWithTheirOwnState) {
  SimProcess sim{{"--no-banner", "--address", "01", "--address", "02", "--address", "A7"}};
  Line line{sim.device()};
  line.send(framed("02", "SO 22"));
  line.send(framed("A7", "SO 77"));
  const std::pair<const char*, const char*> expected[] = {{"01", "00"}, {"02", "22"}, {"A7", "77"}};
  for (const auto& [addr, out] : expected) {
    line.send(framed(addr, "QO"));
    const auto reply = line.readLine().value_or("");
    EXPECT_TRUE(checksumValid(reply)) << reply;
    EXPECT_EQ(reply.substr(4, 2), addr);
    EXPECT_EQ(fieldOf(reply, "O:", 2), out);
  }
  // Serial numbers differ between modules.
  line.send(framed("01", "QS"));
  const auto s1 = line.readLine().value_or("");
  line.send(framed("02", "QS"));
  const auto s2 = line.readLine().value_or("");
  EXPECT_NE(fieldOf(s1, "S:", 24), fieldOf(s2, "S:", 24));
  EXPECT_EQ(sim.control("set @02 di 0x81"), "ok di 0x81");
  line.send(framed("02", "QI"));
  EXPECT_EQ(fieldOf(line.readLine().value_or(""), "I:", 2), "81");
  EXPECT_EQ(sim.control("set @99 di 1").rfind("error", 0), 0u);
}

TEST(FramedModules, LongAndEmptyAddressesStillFitOneLine) {
  const std::string longAddr = "ABCDEFGHIJKLMNOPQRS";  // 19 characters
  SimProcess sim{{"--no-banner", "--address", longAddr, "--address", ""}};
  Line line{sim.device()};
  line.send(framed(longAddr, "QE"));
  const auto reply = line.readLine().value_or("");
  EXPECT_TRUE(checksumValid(reply)) << reply;
  EXPECT_LE(reply.size(), 99u);
  for (const char* tag : {"A0:", "A5:", "D1:", "I:", "O:", "B:", "F:", "T:", "C:"})
    EXPECT_NE(reply.find(tag), std::string::npos) << tag << " in " << reply;
  EXPECT_EQ(reply.substr(reply.size() - 6), "C:02CF") << reply;
  line.send(framed("", "QC"));  // "#cc  QC"
  const auto empty = line.readLine().value_or("");
  EXPECT_TRUE(checksumValid(empty)) << empty;
  EXPECT_EQ(empty.substr(3), "  C:02CF");
}

TEST(FramedModules, AnalogInputsDriftWithinTheirRanges) {
  // Steps as large as the 12-bit range push every channel against its limits.
  SimProcess sim{{"--no-banner", "--drift", "4095", "--seed", "7"}};
  Line line{sim.device()};
  line.send(framed("01", "QA"));
  const auto first = line.readLine().value_or("");
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  line.send(framed("01", "QA"));
  const auto later = line.readLine().value_or("");
  EXPECT_NE(first.substr(7), later.substr(7));
  const auto values = jsonArray(sim.control("state"), "analog_in");
  ASSERT_EQ(values.size(), 6u);
  for (size_t ch = 0; ch < 6; ++ch) {
    EXPECT_GE(values[ch], 0);
    EXPECT_LE(values[ch], ch < 4 ? 255 : 4095) << "channel " << ch;
  }
  const auto mins = jsonArray(sim.control("state"), "min");
  const auto maxs = jsonArray(sim.control("state"), "max");
  ASSERT_EQ(mins.size(), 2u);
  EXPECT_LT(mins[0], maxs[0]);
}
