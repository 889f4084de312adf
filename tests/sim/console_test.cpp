// The plain-text console a configuration program or a person at a terminal
// talks to: banner, prompt, "C:" reply, settings and errors.
#include <gtest/gtest.h>

#include "sim_process.h"

using namespace simtest;

namespace {

struct Console : ::testing::Test {
  SimProcess sim{{"--no-banner", "--name", "Tank 3"}};
  Line line{sim.device()};

  // Sends a command; returns its result line and checks the prompt after it.
  std::string command(const std::string& text, const std::string& prompt = "Tank 3>") {
    line.send(text + "\r");
    const std::string result = line.readLine().value_or("(nothing)");
    EXPECT_EQ(line.readLine().value_or("(nothing)"), prompt) << "after " << text;
    return result;
  }
};

// What a reader must not mistake for a configuration, banner or prompt line.
void expectPlainError(const std::string& line) {
  EXPECT_EQ(line.rfind("Error", 0), 0u) << line;
  EXPECT_NE(line.rfind("C:", 0), 0u) << line;
  EXPECT_NE(line.back(), '>') << line;
}

}  // namespace

TEST(ConsoleStart, BannerAndPromptAtPowerUpAndAfterAPowerCycle) {
  SimProcess sim{{"--name", "Pump"}};
  Line line{sim.device()};
  const auto banner = line.readLine();
  ASSERT_TRUE(banner.has_value());
  EXPECT_EQ(banner->rfind("Brimtally", 0), 0u) << *banner;
  EXPECT_EQ(line.readLine().value_or(""), "Pump>");
  EXPECT_EQ(sim.control("power-cycle"), "ok power-cycle");
  EXPECT_EQ(line.readLine().value_or("").rfind("Brimtally", 0), 0u);
  EXPECT_EQ(line.readLine().value_or(""), "Pump>");
}

TEST_F(Console, QcAnswersTheConfigurationWordAndBadCommandsAnError) {
  EXPECT_EQ(command("QC"), "C:02CF");
  EXPECT_EQ(command("qc"), "C:02CF");
  EXPECT_EQ(command("QX\x7f"
                    "C"),
            "C:02CF");  // a terminal's backspace
  line.send("\r");
  EXPECT_EQ(line.readLine().value_or(""), "Tank 3>");  // an empty line: prompt only
  // Bad commands get an error line, then the prompt.
  for (const char* text : {"XYZ", "SLD 2 0 12C", "SLD 6 0 1", "CB 7", "CO", "CO 12345", "SP 10 20",
                           "SBD 100", "QC 1", "C:12>", "Brimtally"}) {
    expectPlainError(command(text));
  }
  EXPECT_EQ(command("QC"), "C:02CF");  // nothing above changed the module
}

TEST_F(Console, RenameAnswersWithTheBannerAndTheNewPrompt) {
  const std::string banner = command("A Boiler 2", "Boiler 2>");
  EXPECT_EQ(banner.rfind("Brimtally", 0), 0u) << banner;
  EXPECT_EQ(command("QC", "Boiler 2>"), "C:02CF");
  // An empty name, as sent for an empty name box: the prompt is ">" alone.
  EXPECT_EQ(command("A ", ">").rfind("Brimtally", 0), 0u);
  expectPlainError(command("A " + std::string(33, 'n'), ">"));
  EXPECT_NE(sim.control("state").find("\"name\":\"\""), std::string::npos);
}

TEST_F(Console, DefaultSettingsAreStoredAndSurviveAPowerCycle) {
  EXPECT_EQ(command("CO 21"), "OK");
  EXPECT_EQ(command("QC"), "C:0021");
  EXPECT_EQ(command("SLD 2 10 C8"), "OK");
  EXPECT_EQ(command("SLD 4 0 FFF"), "OK");
  EXPECT_EQ(command("SP 3EB 1F6"), "OK");
  EXPECT_EQ(command("SBD 81"), "OK");
  EXPECT_EQ(command("CB 19"), "OK");
  EXPECT_EQ(command("CD FE"), "OK");
  ASSERT_EQ(sim.control("power-cycle"), "ok power-cycle");
  line.readLine();  // banner
  line.readLine();  // prompt
  const std::string s = sim.control("state");
  EXPECT_EQ(jsonNumber(s, "config"), 0x21);
  EXPECT_EQ(jsonArray(s, "default_low")[2], 16);
  EXPECT_EQ(jsonArray(s, "default_high")[2], 200);
  EXPECT_EQ(jsonArray(s, "low_limit")[2], 16);  // loaded again at power-up
  EXPECT_EQ(jsonArray(s, "high_limit")[4], 4095);
  EXPECT_EQ(jsonNumber(s, "default_pwm_period"), 1003);
  EXPECT_EQ(jsonNumber(s, "default_pwm_high"), 502);
  EXPECT_EQ(jsonNumber(s, "direction"), 0x81);
  EXPECT_EQ(jsonNumber(s, "network_baud"), 19200);
  EXPECT_EQ(jsonNumber(s, "comm_delay_ms"), 254);
}

TEST(ConsoleModules, ConsoleCommandsGoToTheFirstModule) {
  SimProcess sim{{"--no-banner", "--address", "07", "--address", "08"}};
  Line line{sim.device()};
  line.send("CO 1234\r");
  EXPECT_EQ(line.readLine().value_or(""), "OK");
  line.readLine();
  line.send(framed("07", "QC"));
  line.send(framed("08", "QC"));
  EXPECT_EQ(fieldOf(line.readLine().value_or(""), "C:", 4), "1234");
  EXPECT_EQ(fieldOf(line.readLine().value_or(""), "C:", 4), "02CF");
}
