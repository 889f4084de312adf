// SPDX-License-Identifier: MIT
// brimtally-gateway --check-config: every fault of a configuration file,
// each named by its key and line.
#include <gtest/gtest.h>

#include <fstream>

#include "sim_process.h"

namespace {

TEST(GatewayConfig, EachFaultNamesItsKeyAndLine) {
  simtest::TempDir dir;
  const std::string good =
      "[line]\nname = \"l1\"\nport = \"/dev/ttyUSB0\"\n[[module]]\nname = \"pump\"\n"
      "address = \"01\"\npoll = [\"all-io\"]\n";
  const std::pair<std::string, std::string> cases[] = {
      {"", ""},
      {"[mqtt]\nbrokr = \"x\"\n", ":2: mqtt.brokr: is not a known key"},
      {"[mqtt]\nbroker = \"http://h\"\n", ":2: mqtt.broker: \"http://h\" must be mqtt://"},
      {"[mqtt]\nbroker = \"mqtt://127.0.0.1:99999\"\n",
       "has the port \"99999\"; a port is a number"},
      {"[mqtt]\nbroker = \"mqtts://h\"\ncert_file = \"" + dir.path("c.toml") + "\"\n",
       ":3: mqtt.cert_file: needs its partner"},
      {"[mqtt]\nsession_expiry = -1\n", ":2: mqtt.session_expiry: must be an integer from 0"},
      {"[mqtt]\nusername = \"u\"\npassword_file = \"/absent\"\n",
       ":3: mqtt.password_file: cannot be"},
      {"[line]\nname = \"l1\"\nport = \"rfc2217://127.0.0.1\"\n",
       ":3: line.port: \"rfc2217://127.0.0.1\": "},
      {"[line]\nname = \"l1\"\nport = \"/dev/ttyUSB0?echo&drain=fast\"\n",
       ":3: line.port: \"/dev/ttyUSB0?echo&drain=fast\": port option \"drain=fast\" takes"},
      {"[mqtt]\nkeepalive = 0\n", ":2: mqtt.keepalive: must be an integer from 5"},
      {"[mqtt]\nbase_topic = \"a/+/b\"\n", ":2: mqtt.base_topic"},
      {"[[module]]\nname = \"state\"\naddress = \"02\"\npoll = [\"key\"]\n",
       ":2: module[0].name: \"state\" is a topic"},
      {"[[module]]\nname = \"pump\"\naddress = \"02\"\npoll = [\"key\"]\n",
       ":9: module[1].name: \"pump\" is used twice"},
      {"[[module]]\nname = \"a b\"\naddress = \"0 1\"\npoll = [\"all-io\", \"temperature\"]\n"
       "interval = -1\n",
       ":4: module[0].poll: has the unknown query \"temperature\""},
      {"[[module]]\nname = \"v\"\naddress = \"1\"\npoll = [\"key\"]\n",
       ":10: module[1].address: \"01\" is used twice"},
      {"[[module]]\nname = \"v\"\naddress = \"$1\"\npoll = [\"key\"]\ninterval = -1\n",
       ":5: module[0].interval: must be a number from 0 to 86400"},
      {"[[module]]\nname = \"v\"\naddress = \"01234567890123456789\"\npoll = [\"key\"]\n",
       ":3: module[0].address: must be 1 to 19"},
      {"[[module]]\nname = \"v\"\naddress = \"2\"\npoll = [\"key\"]\ncontrols = "
       "[\"digital-out/9\"]\n",
       ":5: module[0].controls: has the unknown control \"digital-out/9\""},
      {"[[module]]\nname = \"v\"\naddress = \"2\"\npoll = [\"key\"]\ndirection = 256\n",
       ":5: module[0].direction: must be an integer from 0 to 255"},
      {"[[module]]\nname = \"v\"\naddress = \"2\"\npoll = [\"key\"]\npwm = [1, 70000]\n",
       ":5: module[0].pwm: must be [PERIOD, PERCENT]"},
      {"[line]\n", "line.name"},
      {"x = [", ":1: "},
  };
  for (const auto& [extra, says] : cases) {
    // Faults before the good part keep their line numbers from the top.
    std::ofstream(dir.path("c.toml"))
        << extra << (extra.rfind("[line]", 0) == 0 || extra.rfind("x", 0) == 0 ? "" : good);
    const auto run = simtest::runToCompletion(
        {BRIMTALLY_GATEWAY_PATH, "--check-config", "--config", dir.path("c.toml")}, 10000, false);
    EXPECT_EQ(run.exitCode, says.empty() ? 0 : 2) << extra << run.err;
    EXPECT_NE(run.err.find(says), std::string::npos) << extra << run.err;
  }
  const auto folder = simtest::runToCompletion(
      {BRIMTALLY_GATEWAY_PATH, "--check-config", "--config", dir.path("")}, 10000, false);
  EXPECT_EQ(folder.exitCode, 2);
  EXPECT_EQ(folder.err.rfind(dir.path("") + ": is a directory, not a configuration file", 0), 0u)
      << folder.err;
}

}  // namespace
