// SPDX-License-Identifier: MIT
// The plain-text console a configuration program or a person at a terminal
// talks to: banner, prompt, "C:" reply, settings and errors.
#include <gtest/gtest.h>

#include "sim_process.h"

using namespace simtest;

TEST(Console, CommandsGetOneResultLineAndThePromptAndDefaultsSurviveAPowerCycle) {
  SimProcess sim{{"--name", "Tank 3"}};
  Line line{sim.device()};
  auto next = [&line] { return line.readLine().value_or("(nothing)"); };
  auto two = [&next] {  // a result line and the prompt after it
    const std::string first = next();
    return first + "|" + next();
  };
  EXPECT_EQ(two(), "Brimtally I/O V1.00|Tank 3>");  // at power-up
  line.send("\r");
  EXPECT_EQ(next(), "Tank 3>");  // an empty line: the prompt only
  const std::string name32(32, 'n');
  const std::pair<std::string, std::string> cases[] = {
      {"QC", "C:02CF|Tank 3>"},
      {"qc", "C:02CF|Tank 3>"},
      {"QX\x7f"
       "C",
       "C:02CF|Tank 3>"},  // a terminal's backspace
      {"XYZ", "Error: unknown command|Tank 3>"},
      {"C:12>", "Error: unknown command|Tank 3>"},
      {"Brimtally", "Error: unknown command|Tank 3>"},
      {"QC 1", "Error: bad arguments|Tank 3>"},
      {"CO", "Error: bad arguments|Tank 3>"},
      {"CO 12345", "Error: bad arguments|Tank 3>"},
      {"SLD 6 0 1", "Error: bad arguments|Tank 3>"},
      {"SLD 2 0 12C", "Error: value out of range|Tank 3>"},
      {"SP 10 11", "Error: value out of range|Tank 3>"},
      {"SP 0 0", "Error: value out of range|Tank 3>"},
      {"SBD 100", "Error: value out of range|Tank 3>"},
      {"CD 100", "Error: value out of range|Tank 3>"},
      {"CB 7", "Error: value out of range|Tank 3>"},
      {"A Boiler 2", "Brimtally I/O V1.00|Boiler 2>"},
      {"A ", "Brimtally I/O V1.00|>"},  // an empty name box
      {"A " + name32 + "n", "Error: name longer than 32 characters|>"},
      {"A " + name32, "Brimtally I/O V1.00|" + name32 + ">"},
      {"A Tank 3", "Brimtally I/O V1.00|Tank 3>"},
      {"QC", "C:02CF|Tank 3>"},  // nothing above changed the module
      {"CO 21", "OK|Tank 3>"},
      {"QC", "C:0021|Tank 3>"},
      {"SLD 2 10 C8", "OK|Tank 3>"},
      {"SLD 5 0 FFF", "OK|Tank 3>"},
      {"SP 3EB 3EB", "OK|Tank 3>"},
      {"SP 3EB 3E2", "OK|Tank 3>"},
      {"SBD 81", "OK|Tank 3>"},
      {"CB 19", "OK|Tank 3>"},
      {"CD FE", "OK|Tank 3>"},
  };
  for (const auto& [command, result] : cases) {
    line.send(command + "\r");
    EXPECT_EQ(two(), result) << command;
  }
  std::string s = sim.control("state");
  EXPECT_EQ(jsonNumber(s, "pwm_period"), 1003);  // loaded at once as well
  EXPECT_EQ(jsonNumber(s, "pwm_percent"), 99);  // 99.1, rounded down
  ASSERT_EQ(sim.control("power-cycle"), "ok power-cycle");
  EXPECT_EQ(two(), "Brimtally I/O V1.00|Tank 3>");
  s = sim.control("state");
  EXPECT_EQ(jsonNumber(s, "config"), 0x21);
  EXPECT_EQ(jsonArray(s, "default_low"), (std::vector<long>{0, 0, 16, 0, 0, 0}));
  EXPECT_EQ(jsonArray(s, "default_high"), (std::vector<long>{255, 255, 200, 255, 4095, 4095}));
  EXPECT_EQ(jsonArray(s, "low_limit"), (std::vector<long>{0, 0, 16, 0, 0, 0}));
  EXPECT_EQ(jsonArray(s, "high_limit"), (std::vector<long>{255, 255, 200, 255, 4095, 4095}));
  EXPECT_EQ(jsonNumber(s, "default_pwm_period"), 1003);
  EXPECT_EQ(jsonNumber(s, "default_pwm_high"), 994);
  EXPECT_EQ(jsonNumber(s, "pwm_percent"), 99);  // 99.1, rounded down
  EXPECT_EQ(jsonNumber(s, "direction"), 0x81);
  EXPECT_EQ(jsonNumber(s, "network_baud"), 19200);
  EXPECT_EQ(jsonNumber(s, "comm_delay_ms"), 254);
}
