// SPDX-License-Identifier: MIT
// Faults injected from options and from the control channel, pacing, power
// cycles and a device that vanishes and comes back.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <thread>

#include "sim_process.h"

using namespace simtest;
using Clock = std::chrono::steady_clock;

TEST(Faults, EachReplyFaultShapesTheReplyItsOwnWayAndIsCounted) {
  SimProcess sim{{"--no-banner", "--drift", "0", "--delay", "300"}};
  Line line{sim.device()};
  auto reply = [&](const std::string& fault) {
    EXPECT_EQ(sim.control("fault " + fault), "ok fault " + fault);
    line.send(framed("01", "QA"));
    return line.readLine().value_or("");
  };
  auto lines = [&line](int n) {  // the next n lines, '|' between them
    std::string out = line.readLine().value_or("(nothing)");
    while (--n > 0) out += "|" + line.readLine().value_or("(nothing)");
    return out;
  };
  for (int i = 0; i < 2; ++i) {
    const auto start = Clock::now();
    EXPECT_EQ(reply("delay 300").size(), 44u);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(280));
  }
  const std::string whole = reply("off delay");
  ASSERT_TRUE(checksumValid(whole)) << whole;
  std::string got = reply("badsum");
  EXPECT_FALSE(checksumValid(got)) << got;
  EXPECT_EQ(got.substr(3), whole.substr(3));
  got = reply("badaddr 100");  // the first module's address, last character changed
  EXPECT_FALSE(checksumValid(got)) << got;
  EXPECT_EQ(got.substr(3), " 00" + whole.substr(6));
  line.send("QC\r");  // console lines have no address or checksum to spoil
  EXPECT_EQ(lines(2), "C:02CF|BRIM>");
  got = reply("off badsum");
  EXPECT_TRUE(checksumValid(got)) << got;
  EXPECT_EQ(got.substr(3), " 00" + whole.substr(6));
  EXPECT_EQ(reply("off badaddr"), whole);
  EXPECT_EQ(reply("truncate"), whole.substr(0, whole.size() / 2));
  EXPECT_EQ(reply("off"), whole);
  got = reply("noise");
  ASSERT_GE(got.size(), whole.size() + 4);
  EXPECT_LE(got.size(), whole.size() + 8);
  EXPECT_EQ(got.substr(got.size() - whole.size()), whole);
  EXPECT_EQ(got.find('\n'), std::string::npos);
  EXPECT_EQ(reply("off noise"), whole);
  got = reply("longline");
  EXPECT_EQ(got.size(), 120u);
  EXPECT_EQ(got.rfind(whole, 0), 0u);
  line.send("QC\r");  // console lines as well, the prompt too
  EXPECT_EQ(lines(2).size(), 241u);
  EXPECT_EQ(sim.control("counts").rfind(
                "ok {\"delay\":2,\"drop\":0,\"badsum\":2,\"badaddr\":2,\"truncate\":1,"
                "\"noise\":1,\"longline\":3,",
                0),
            0u);
}

TEST(Faults, DroppedShareIsCountedAndRepeatsWithTheSeed) {
  int received[2];
  for (int& count : received) {
    SimProcess sim{{"--no-banner", "--drop", "50", "--seed", "42"}};
    Line line{sim.device()};
    std::string burst;
    for (int i = 0; i < 40; ++i) burst += framed("01", "QI");
    line.send(burst);
    sim.control("fault off drop");  // handled after the queries already sent
    line.send(framed("01", "QC"));  // its reply marks the end of the others
    count = 0;
    std::optional<std::string> reply;
    while ((reply = line.readLine(5000)) && reply->find("C:") == std::string::npos) ++count;
    ASSERT_TRUE(reply.has_value()) << "no end marker";
    EXPECT_EQ(count + jsonNumber(sim.control("counts"), "drop"), 40);
    EXPECT_GT(count, 5);
    EXPECT_LT(count, 35);
  }
  EXPECT_EQ(received[0], received[1]);
}

TEST(Faults, PowerCycleRestoresDefaultsAndCutsAReplyShort) {
  SimProcess sim{{"--no-banner", "--baud", "110"}};
  Line line{sim.device()};
  line.send(framed("01", "SO 5A") + framed("01", "ST 1E"));
  sim.control("key 123");
  line.send(framed("01", "QE"));  // almost 9 s when paced at 110 baud
  const std::string begun = line.readFor(150);
  ASSERT_EQ(sim.control("power-cycle"), "ok power-cycle");
  // The reply breaks off; the banner follows on the same line.
  const std::string cut = begun + line.readLine(10000).value_or("");
  EXPECT_NE(cut.find("Brimtally"), std::string::npos) << cut;
  EXPECT_EQ(cut.find("C:"), std::string::npos) << cut;
  EXPECT_EQ(line.readLine(10000).value_or(""), "BRIM>");
  EXPECT_EQ(line.readFor(200), "") << "the reply went on after the power cycle";
  const std::string s = sim.control("state");
  EXPECT_EQ(jsonNumber(s, "digital_out"), 0);
  EXPECT_EQ(jsonNumber(s, "debounce"), 0);
  EXPECT_NE(s.find("\"keys\":\"\""), std::string::npos) << s;
  EXPECT_EQ(jsonNumber(sim.control("counts"), "power_cycle"), 1);
}

TEST(Faults, ControlCommandsActOnceAndAVanishedDeviceReturns) {
  TempDir dir;
  const std::string link = dir.path("tty");
  SimProcess sim{{"--no-banner", "--link", link}};
  Line line{link};
  ASSERT_EQ(sim.control("fault burst 16"), "ok burst 16");
  const std::string noise = line.readFor(300);
  EXPECT_EQ(noise.size(), 16u);
  EXPECT_EQ(noise.find_first_of("\r\n"), std::string::npos);
  ASSERT_EQ(sim.control("fault flood 150"), "ok flood 150");
  EXPECT_EQ(line.readLine().value_or("").size(), 150u);
  ASSERT_EQ(sim.control("fault flood"), "ok flood 120");
  EXPECT_EQ(line.readLine().value_or("").size(), 120u);
  const std::pair<const char*, const char*> refused[] = {
      {"fault burst 0", "error burst takes a byte count, 1 to 4096"},
      {"fault sparks", "error unknown fault 'sparks'"},
      {"fault drop 101", "error drop takes a percentage, 0 to 100"},
      {"fault return", "error the device has not vanished"},
      {"set a4 4096", "error value out of range 0..4095"},
      {"set a0 -1", "error value out of range 0..255"},
      {"set dir 256", "error value out of range 0..255"},
      {"set volts 1", "error unknown field 'volts'"},
      {"key @02 1", "error no module at that address"},
      {"launch", "error unknown command 'launch' (try help)"},
  };
  for (const auto& [command, answer] : refused) EXPECT_EQ(sim.control(command), answer);
  EXPECT_EQ(sim.control("help").rfind("ok commands: power-cycle", 0), 0u);
  ASSERT_EQ(sim.control("fault vanish"), "ok vanish");
  EXPECT_TRUE(line.hangsUp(5000));
  EXPECT_FALSE(std::filesystem::is_symlink(link));
  for (const char* refused : {"power-cycle", "fault burst 1", "fault flood"})
    EXPECT_EQ(sim.control(refused), "error the device has vanished");
  EXPECT_EQ(sim.control("path"), "ok ");

  const std::string answer = sim.control("fault return");
  const auto printed = sim.nextOutputLine(5000);
  ASSERT_TRUE(printed.has_value());
  EXPECT_EQ(answer, "ok return " + *printed);
  EXPECT_EQ(sim.control("path"), "ok " + *printed);
  EXPECT_EQ(std::filesystem::read_symlink(link).string(), *printed);
  Line again{link};
  EXPECT_EQ(again.readLine().value_or("").rfind("Brimtally", 0), 0u);
  EXPECT_EQ(again.readLine().value_or(""), "BRIM>");
  again.send(framed("01", "QC"));
  EXPECT_TRUE(checksumValid(again.readLine().value_or("")));

  // A timed vanish comes back by itself.
  ASSERT_EQ(sim.control("fault vanish 200"), "ok vanish");
  EXPECT_TRUE(again.hangsUp(5000));
  EXPECT_TRUE(sim.nextOutputLine(5000).has_value());
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_NE(sim.control("counts").find(R"("burst":1,"flood":2,"vanish":2,"return":2,)"),
            std::string::npos);
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

TEST(Faults, AModulesOwnFaultActsOnItsRepliesAloneAndOverridesTheLine) {
  SimProcess sim{{"--no-banner", "--address", "01", "--address", "02", "--fault", "@02:drop"}};
  Line line{sim.device()};
  // Which of the two modules answer, as "01 02".
  auto answering = [&] {
    std::string who;
    for (const char* address : {"01", "02"}) {
      line.send(framed(address, "QI"));
      if (line.readLine(300)) who += (who.empty() ? "" : " ") + std::string(address);
    }
    return who;
  };
  EXPECT_EQ(answering(), "01");
  EXPECT_NE(sim.control("state").find("\"faults\":{\"drop\":100}}"), std::string::npos);
  // The line drops everything but what 02 is told to send anyway.
  EXPECT_EQ(sim.control("fault drop"), "ok fault drop");
  EXPECT_EQ(sim.control("fault @02 drop 0"), "ok fault @02 drop 0");
  EXPECT_EQ(answering(), "02");
  EXPECT_EQ(sim.control("fault @02 off drop"), "ok fault @02 off drop");
  EXPECT_EQ(answering(), "");
  EXPECT_EQ(sim.control("fault off"), "ok fault off");
  EXPECT_EQ(answering(), "01 02");
  for (const auto& [command, says] :
       {std::pair{"fault @07 drop", "error no module at that address"},
        {"fault @02 vanish", "error vanish acts on the whole line: give it without @ADDR"},
        {"fault @02 drop 101", "error drop takes a percentage, 0 to 100"},
        {"fault @02", "error usage: fault @ADDR KIND [ARG]"}}) {
    EXPECT_EQ(sim.control(command), says);
  }
  const auto run = runToCompletion({"--fault", "@03:drop"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find("--fault @03:drop: no module at address 03"), std::string::npos)
      << run.err;
}

TEST(Faults, StartedWithoutStandardStreamsThePathNeverGoesOnTheLine) {
  TempDir dir;
  const std::string link = dir.path("tty");
  const pid_t pid = fork();
  if (pid == 0) {
    for (int fd = 0; fd <= 2; ++fd) close(fd);
    execl(BRIMTALLY_SIM_PATH, BRIMTALLY_SIM_PATH, "--no-banner", "--link", link.c_str(),
          "--die-with-parent", nullptr);
    _exit(127);
  }
  for (int i = 0; i < 300 && !std::filesystem::exists(link); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  {
    Line line{link};
    // What it prints (its device path) must not reach the module's line.
    EXPECT_EQ(line.readFor(300), "");
    line.send(framed("01", "QI"));
    const auto reply = line.readLine();
    ASSERT_TRUE(reply.has_value());
    EXPECT_TRUE(checksumValid(*reply)) << *reply;
  }
  kill(pid, SIGTERM);
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}
