// Faults injected from options and from the control channel, pacing, power
// cycles and a device that vanishes and comes back.
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <thread>

#include "sim_process.h"

using namespace simtest;
using Clock = std::chrono::steady_clock;

namespace {

long elapsedMs(Clock::time_point since) {
  return static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

struct InjectedFaults : ::testing::Test {
  SimProcess sim{{"--no-banner", "--drift", "0"}};
  Line line{sim.device()};
};

}  // namespace

TEST(Faults, DelayHoldsEveryReply) {
  SimProcess sim{{"--no-banner", "--delay", "300"}};
  Line line{sim.device()};
  for (int i = 0; i < 2; ++i) {
    const auto start = Clock::now();
    line.send(framed("01", "QC"));
    ASSERT_TRUE(line.readLine(5000).has_value());
    EXPECT_GE(elapsedMs(start), 280);
  }
  EXPECT_EQ(sim.control("fault off delay"), "ok fault off delay");
  EXPECT_EQ(jsonNumber(sim.control("counts"), "delay"), 2);
}

TEST(Faults, DroppedShareIsCountedAndRepeatsWithTheSeed) {
  int received[2];
  for (int run = 0; run < 2; ++run) {
    SimProcess sim{{"--no-banner", "--drop", "50", "--seed", "42"}};
    Line line{sim.device()};
    std::string burst;
    for (int i = 0; i < 40; ++i) burst += framed("01", "QI");
    line.send(burst);
    sim.control("fault off drop");  // handled after the queries already sent
    line.send(framed("01", "QC"));  // its reply marks the end of the others
    received[run] = 0;
    std::optional<std::string> reply;
    while ((reply = line.readLine(5000)) && reply->find("C:") == std::string::npos) ++received[run];
    ASSERT_TRUE(reply.has_value()) << "no end marker";
    EXPECT_EQ(received[run] + jsonNumber(sim.control("counts"), "drop"), 40);
    EXPECT_GT(received[run], 5);
    EXPECT_LT(received[run], 35);
  }
  EXPECT_EQ(received[0], received[1]);
}

TEST_F(InjectedFaults, DamagedRepliesEachOfTheirKindAndCounted) {
  ASSERT_EQ(sim.control("fault badsum"), "ok fault badsum");
  line.send(framed("01", "QC"));
  auto reply = line.readLine().value_or("");
  EXPECT_FALSE(checksumValid(reply)) << reply;
  EXPECT_EQ(reply.substr(3), " 01 C:02CF");

  ASSERT_EQ(sim.control("fault off"), "ok fault off");
  ASSERT_EQ(sim.control("fault badaddr 100"), "ok fault badaddr 100");
  line.send(framed("01", "QC"));
  reply = line.readLine().value_or("");
  EXPECT_TRUE(checksumValid(reply)) << reply;
  EXPECT_NE(reply.substr(4, 2), "01") << reply;
  EXPECT_NE(reply.find(" C:02CF"), std::string::npos) << reply;

  ASSERT_EQ(sim.control("fault off"), "ok fault off");
  line.send(framed("01", "QA"));
  const std::string whole = line.readLine().value_or("");

  sim.control("fault truncate");
  line.send(framed("01", "QA"));
  EXPECT_EQ(line.readLine().value_or(""), whole.substr(0, whole.size() / 2));

  sim.control("fault off");
  sim.control("fault noise");
  line.send(framed("01", "QA"));
  const std::string noisy = line.readLine().value_or("");
  ASSERT_GE(noisy.size(), whole.size() + 4);
  EXPECT_EQ(noisy.substr(noisy.size() - whole.size()), whole);
  EXPECT_EQ(noisy.find('\n'), std::string::npos);

  sim.control("fault off noise");
  sim.control("fault longline");
  line.send(framed("01", "QA"));
  const std::string longLine = line.readLine().value_or("");
  EXPECT_EQ(longLine.size(), 120u);
  EXPECT_EQ(longLine.rfind(whole, 0), 0u);

  // Console lines are subject to the same faults.
  line.send("QC\r");
  EXPECT_EQ(line.readLine().value_or("").size(), 120u);
  line.readLine();

  const std::string counts = sim.control("counts");
  EXPECT_EQ(jsonNumber(counts, "badsum"), 1);
  EXPECT_EQ(jsonNumber(counts, "badaddr"), 1);
  EXPECT_EQ(jsonNumber(counts, "truncate"), 1);
  EXPECT_EQ(jsonNumber(counts, "noise"), 1);
  EXPECT_EQ(jsonNumber(counts, "longline"), 3);
}

TEST_F(InjectedFaults, OneShotBurstAndFlood) {
  ASSERT_EQ(sim.control("fault burst 16"), "ok burst 16");
  const std::string noise = line.readFor(300);
  EXPECT_EQ(noise.size(), 16u);
  EXPECT_EQ(noise.find_first_of("\r\n"), std::string::npos);
  ASSERT_EQ(sim.control("fault flood 150"), "ok flood 150");
  EXPECT_EQ(line.readLine().value_or("").size(), 150u);
  EXPECT_EQ(sim.control("fault burst 0").rfind("error", 0), 0u);
  EXPECT_EQ(sim.control("fault sparks").rfind("error", 0), 0u);
  const std::string counts = sim.control("counts");
  EXPECT_EQ(jsonNumber(counts, "burst"), 1);
  EXPECT_EQ(jsonNumber(counts, "flood"), 1);
}

TEST(Faults, PacingAtTheBaudRateDelaysALongReply) {
  SimProcess sim{{"--no-banner", "--baud", "9600"}};
  Line line{sim.device()};
  const auto start = Clock::now();
  line.send(framed("01", "QA"));  // 44 characters and CR: about 47 ms at 9600 baud
  const auto reply = line.readLine();
  ASSERT_TRUE(reply.has_value());
  EXPECT_EQ(reply->size(), 44u);
  EXPECT_GE(elapsedMs(start), 40);
}

TEST(Faults, PowerCycleRestoresDefaultsAndCutsAReplyShort) {
  SimProcess sim{{"--no-banner", "--baud", "110"}};
  Line line{sim.device()};
  line.send(framed("01", "SO 5A"));
  sim.control("key 123");
  line.send(framed("01", "QE"));  // almost 9 s at 110 baud
  line.readFor(150);
  ASSERT_EQ(sim.control("power-cycle"), "ok power-cycle");
  // The reply breaks off; the banner follows on the same line.
  const std::string cut = line.readLine(10000).value_or("");
  EXPECT_NE(cut.find("Brimtally"), std::string::npos) << cut;
  EXPECT_EQ(cut.find("C:"), std::string::npos) << cut;
  EXPECT_EQ(line.readLine(10000).value_or(""), "BRIM>");
  EXPECT_EQ(line.readFor(200), "") << "the reply went on after the power cycle";
  const std::string s = sim.control("state");
  EXPECT_EQ(jsonNumber(s, "digital_out"), 0);
  EXPECT_NE(s.find("\"keys\":\"\""), std::string::npos) << s;
  EXPECT_EQ(jsonNumber(sim.control("counts"), "power_cycle"), 1);
}

TEST(Faults, VanishedDeviceHangsUpTheClientAndReturns) {
  TempDir dir;
  const std::string link = dir.path("tty");
  SimProcess sim{{"--no-banner", "--link", link}};
  ASSERT_EQ(std::filesystem::read_symlink(link).string(), sim.device());
  Line line{link};
  ASSERT_TRUE(line.isOpen());
  ASSERT_EQ(sim.control("fault vanish"), "ok vanish");
  EXPECT_TRUE(line.hangsUp(5000));
  EXPECT_FALSE(std::filesystem::is_symlink(link));
  EXPECT_EQ(sim.control("path"), "ok ");
  EXPECT_EQ(sim.control("power-cycle").rfind("error", 0), 0u);

  const std::string answer = sim.control("fault return");
  ASSERT_EQ(answer.rfind("ok return /dev/", 0), 0u) << answer;
  const auto printed = sim.nextOutputLine(5000);
  ASSERT_TRUE(printed.has_value());
  EXPECT_EQ(answer, "ok return " + *printed);
  EXPECT_EQ(std::filesystem::read_symlink(link).string(), *printed);
  Line again{link};
  ASSERT_TRUE(again.isOpen());
  EXPECT_EQ(again.readLine().value_or("").rfind("Brimtally", 0), 0u);
  again.readLine();
  again.send(framed("01", "QC"));
  EXPECT_TRUE(checksumValid(again.readLine().value_or("")));

  // A timed vanish comes back by itself.
  ASSERT_EQ(sim.control("fault vanish 200"), "ok vanish");
  EXPECT_TRUE(again.hangsUp(5000));
  EXPECT_TRUE(sim.nextOutputLine(5000).has_value());
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  const std::string counts = sim.control("counts");
  EXPECT_EQ(jsonNumber(counts, "vanish"), 2);
  EXPECT_EQ(jsonNumber(counts, "return"), 2);
}

TEST(Faults, AClientClosingAndReopeningThePortDoesNotEndTheLine) {
  SimProcess sim{{"--no-banner"}};
  for (int i = 0; i < 3; ++i) {
    Line line{sim.device()};
    // Exclusive use, as a serial driver asks for it; it must end with the close
    // or a non-root client could not open the port again.
    ASSERT_EQ(::ioctl(line.fd(), TIOCEXCL), 0);
    line.send(framed("01", "QC"));
    EXPECT_TRUE(checksumValid(line.readLine().value_or(""))) << "open " << i;
  }
  Line last{sim.device()};
  int exclusive = 1;
  for (int wait = 0; wait < 200 && exclusive; ++wait) {
    ASSERT_EQ(::ioctl(last.fd(), TIOCGEXCL, &exclusive), 0);
    if (exclusive) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(exclusive, 0);
}
