// SPDX-License-Identifier: MIT
// brimtally, the program, against the simulator: what it prints, what the
// module receives, and how it fails.
#include <gtest/gtest.h>
#include <sys/file.h>

#include <algorithm>
#include <iterator>
#include <nlohmann/json.hpp>
#include <regex>

#include "tool_run.h"

namespace {

using clitest::lines;
using clitest::tool;
using nlohmann::json;
using simtest::RunResult;
using simtest::SimProcess;

json moduleState(SimProcess& sim, int index = 0) {
  const std::string answer = sim.control("state");
  return json::parse(answer.substr(answer.find('{')))["modules"][index];
}

// Settings get no reply, so the module may act on one after the tool ends.
bool becomes(SimProcess& sim, const std::string& pointer, const json& expected) {
  for (int i = 0; i < 200; ++i) {
    if (moduleState(sim).at(json::json_pointer(pointer)) == expected) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

std::vector<std::string> words(const std::string& text) {
  std::istringstream in(text);
  return {std::istream_iterator<std::string>(in), {}};
}

// `args`, and `option` before each of the blank-separated `values`.
std::vector<std::string> with(const std::string& option, const std::string& values,
                              std::vector<std::string> args) {
  for (const std::string& value : words(values)) args.insert(args.end(), {option, value});
  return args;
}

// One module holding distinct values that stay still (no drift, no frequency
// for the totalizer to count).
class Tool : public ::testing::Test {
 protected:
  simtest::TempDir dir;
  const std::string log = dir.path("line.log");
  SimProcess sim{with("--set",
                      "a0=17 a1=34 a2=51 a3=68 a4=1234 a5=3000 min4=5 d0=100 d1=2047 "
                      "do=0x3C dir=0xF0 di=0x05 freq=0 total=0x1234",
                      {"--log", log, "--no-banner", "--drift", "0"})};
  RunResult run(std::vector<std::string> args) {
    args.insert(args.begin(), {"--port", sim.device(), "--timeout", "1000"});
    return tool(args);
  }
};

TEST_F(Tool, EachQueryPrintsWhatTheModuleHolds) {
  sim.control("key 12A");
  const json held = moduleState(sim);
  // Each query's record fields, with where the module holds them.
  const std::pair<std::string, std::string> cases[] = {
      {"all-io",
       "AnalogIn0=/analog_in/0 AnalogIn3=/analog_in/3 AnalogIn4=/analog_in/4 "
       "AnalogIn5=/analog_in/5 AnalogOut0=/analog_out/0 AnalogOut1=/analog_out/1 "
       "DigitalIn=/digital_in DigitalOut=/digital_out PortDirection=/direction "
       "Frequency=/frequency Totalizer=/totalizer ConfigBits=/config"},
      {"min-max",
       "AnalogIn4=/analog_in/4 Analog4Min=/min/0 Analog4Max=/max/0 AnalogIn5=/analog_in/5 "
       "Analog5Max=/max/1"},
      {"digital-in", "DigitalIn=/digital_in"},
      {"digital-out", "DigitalOut=/digital_out"},
      {"direction", "PortDirection=/direction"},
      {"configuration", "ConfigBits=/config"},
      {"frequency", "Frequency=/frequency"},
      {"totalizer", "Totalizer=/totalizer"},
  };
  for (const auto& [query, fields] : cases) {
    const RunResult r = run({"get", query, "--json"});
    ASSERT_EQ(r.exitCode, 0) << query << ": " << r.err;
    const json got = json::parse(r.out);
    EXPECT_EQ(got.size(), query == "all-io" ? 14u : query == "min-max" ? 8u : 1u) << query;
    for (const std::string& field : words(fields)) {
      const std::string key = field.substr(0, field.find('='));
      const json::json_pointer pointer(field.substr(field.find('=') + 1));
      EXPECT_EQ(got.at(key), held.at(pointer)) << query << " " << key;
    }
  }
  // The serial number reads as on the wire in every format.
  const std::string serial = held["serial"];
  EXPECT_EQ(json::parse(run({"get", "serial-number", "--json"}).out)["SerialNumber"], serial);
  EXPECT_EQ(lines(run({"get", "serial-number", "--csv"}).out).back(), serial);
  EXPECT_EQ(run({"get", "serial-number"}).out, "SerialNumber  " + serial + "\n");
  EXPECT_EQ(json::parse(run({"get", "key", "--json"}).out)["KeyText"], " 12A");
  // One hexadecimal digit is the two-digit address, as scan counts.
  for (const char* address : {"1", "01"}) {
    EXPECT_EQ(run({"get", "digital-in", "--address", address}).exitCode, 0) << address;
  }
  // Without --timeout a query waits its longest reply's wire time and 30 ms.
  for (const auto& [query, ms] : {std::pair{"all-io", 143}, {"totalizer", 59}, {"key", 69}}) {
    const RunResult r = tool({"--port", sim.device(), "--address", "77", "get", query});
    EXPECT_NE(r.err.find(" within " + std::to_string(ms) + " ms"), std::string::npos) << r.err;
  }
  EXPECT_EQ(lines(run({"get", "direction", "--csv"}).out),
            (std::vector<std::string>{"PortDirection", "240"}));
}

TEST_F(Tool, EachSettingReachesTheModule) {
  const std::vector<std::tuple<std::vector<std::string>, std::string, json>> cases = {
      {{"analog-out", "100", "0x7FF"}, "/analog_out", {100, 2047}},
      {{"analog-limits", "4", "0x100", "0xE00"}, "/low_limit/4", 256},
      {{"analog-limits", "1", "7", "200"}, "/high_limit/1", 200},
      {{"analog-limits", "2", "9", "9"}, "/low_limit/2", 9},
      {{"analog-limits", "5", "0xE00", "0x100", "--allow-crossed"}, "/low_limit/5", 0xE00},
      {{"digital-out", "0x5A"}, "/digital_out", 0x5A},
      {{"direction", "15"}, "/direction", 15},
      {{"pwm", "1000", "50"}, "/pwm_percent", 50},
      {{"pwm", "0xFFFF", "0"}, "/pwm_period", 0xFFFF},
      {{"debounce", "0xFF"}, "/debounce", 255},
      {{"reset-totalizer"}, "/totalizer", 0},
      {{"reset-min-max"}, "/min/0", 1234},
      {{"print", "hello", "there"}, "/printed/0", "hello there"},
  };
  for (const auto& [args, pointer, expected] : cases) {
    std::vector<std::string> command{"set"};
    command.insert(command.end(), args.begin(), args.end());
    const RunResult r = run(command);
    EXPECT_EQ(r.exitCode, 0) << args[0] << ": " << r.err;
    EXPECT_TRUE(becomes(sim, pointer, expected)) << args[0] << " " << pointer;
  }
}

TEST_F(Tool, SendPrintsTheConsoleReplyLines) {
  const RunResult r = run({"send", "QC"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(lines(r.out), (std::vector<std::string>{"C:02CF", "BRIM>"}));
  EXPECT_EQ(lines(run({"send", "QC", "--lines", "1"}).out), std::vector<std::string>{"C:02CF"});
}

TEST_F(Tool, WatchWritesOneTimedSamplePerLine) {
  const std::regex iso(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d)");
  const RunResult csv = run({"watch", "digital-out", "--interval", "0.1", "--count", "3", "--csv"});
  ASSERT_EQ(csv.exitCode, 0) << csv.err;
  const auto rows = lines(csv.out);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0], "time,DigitalOut");
  for (size_t i = 1; i < rows.size(); ++i) {
    EXPECT_TRUE(std::regex_match(rows[i].substr(0, rows[i].find(',')), iso)) << rows[i];
    EXPECT_EQ(rows[i].substr(rows[i].find(',')), ",60");
  }
  const RunResult js = run({"watch", "totalizer", "--interval", "0.1", "--count", "2", "--json"});
  ASSERT_EQ(lines(js.out).size(), 2u) << js.err;
  for (const std::string& line : lines(js.out)) EXPECT_EQ(json::parse(line)["Totalizer"], 0x1234);
}

TEST_F(Tool, TraceShowsTheTransactionsLines) {
  const RunResult r = run({"get", "digital-in", "--trace"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  // The device the user gave, not a COM1 they never named.
  const std::string stamp = R"(\d+\.\d{3} COM1=)" + sim.device() + " ";
  const std::vector<std::regex> expected = {
      std::regex(stamp + R"(in  "" -8 Buffer empty)"),
      std::regex(stamp + R"(out "#42 01 QI\\n\\r" 0 Success)"),
      std::regex(stamp + R"(in  "\$[0-9A-F]{2} 01 I:[0-9A-F]{2}" 0 Success)")};
  const auto traced = lines(r.err);
  ASSERT_EQ(traced.size(), 5u) << r.err;  // three flush reads, the command, the reply
  for (size_t i = 0; i < traced.size(); ++i) {
    EXPECT_TRUE(std::regex_match(traced[i], expected[i < 3 ? 0 : i - 2])) << traced[i];
  }
  const std::string file = sim.scratch("trace.log");
  setenv("BRIMTALLY_TRACE", file.c_str(), 1);
  run({"send", "QC", "--lines", "1"});
  unsetenv("BRIMTALLY_TRACE");
  std::ifstream log(file);
  std::string first;
  std::getline(log, first);
  EXPECT_TRUE(std::regex_match(first, std::regex(stamp + R"(out "QC\\r" 0 Success)"))) << first;
}

TEST_F(Tool, FailuresExitWithTheirCodeAndOneLine) {
  const std::string file = sim.scratch("plain-file");
  std::ofstream(file) << "x";
  const int held = open(sim.device().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  const struct {
    std::vector<std::string> args;
    int code;
    std::string says;
    bool locked = false;
  } cases[] = {
      {{"frobnicate"}, 2, "unknown command 'frobnicate'; see 'brimtally --help'"},
      {{"set", "frob", "1"}, 2, "unknown setting 'frob'; see 'brimtally set --help'"},
      {{}, 2, "give a command: ports, get, set, send, scan or watch"},
      {{"set"}, 2, "give a setting: analog-out, analog-limits, digital-out, direction, pwm"},
      {{"set", "pwm", "1"}, 2, "PERCENT is required; see 'brimtally set pwm --help'"},
      {{"get", "everything"}, 2, "everything not in"},
      {{"set", "pwm", "70000", "50"},
       2,
       "PERIOD 70000 is out of range: the module takes 0 to 65535"},
      {{"set", "pwm", "99999999999999999999", "0"},
       2,
       "PERIOD 99999999999999999999 is out of range"},
      {{"set", "analog-limits", "2", "0", "0x100"}, 2, "HIGH 0x100 is out of range"},
      {{"set", "analog-limits", "4", "0xE00", "0x100"}, 2, "LOW 3584 (0xE00) is above HIGH 256"},
      {{"set", "digital-out", "-1"}, 2, "BITS -1 is out of range"},
      {{"set", "debounce", ""}, 2, "VALUE '' is not a number"},
      {{"get", "all-io", "--baud", "4800"}, 2, "--baud 4800: give one of 300, 1200"},
      {{"get", "all-io", "--timeout", "99999999999"}, 2, "--timeout 99999999999: give the reply"},
      {{"watch", "all-io", "--interval", "1", "--count", "0"},
       2,
       "--count 0: give a whole number of samples, 1 or more"},
      {{"watch", "all-io", "--interval", "nan"}, 2, "--interval nan: give the seconds between"},
      {{"send", "QC", "--lines", "x"}, 2, "--lines x: give a whole number of reply lines"},
      {{"get", "all-io", "--address", "0\r"}, 2, "--address '0\\x0D': it may hold printable"},
      {{"get", "all-io", "--port", "rfc2217://127.0.0.1"}, 2, "no port number after the host"},
      {{"get", "all-io", "--port", "tcp://:80"}, 2, "tcp://:80: no host"},
      {{"get", "all-io", "--port", "rfc2217://h:99999"}, 2, "h:99999: the port number must be 1"},
      {{"get", "all-io", "--port", "rfc2217://h:x"}, 2, "h:x: the port number must be 1 to 65535"},
      {{"get", "all-io", "--port", "tcp://" + std::string(256, 'h') + ":1"}, 2, "name is too long"},
      {{"get", "digital-in", "--address", "77"}, 3, "address 77: no reply to digital-in"},
      {{"get", "all-io", "--port", sim.device() + "?ecko"}, 2, "unknown port option \"ecko\""},
      {{"get", "digital-in", "--port", sim.device() + "?echo"},
       3,
       "digital-in: No echo: the line does not return what is sent; drop the echo option"},
      {{"get", "all-io", "--port", sim.device() + "?rs485"}, 6, "drop rs485 from --port"},
      {{"get", "all-io", "--port", "COM2?rs485"}, 6, "COM2 (/dev/ttyS1?rs485)"},
      {{"get", "all-io", "--port", "/dev/brimtally-none"},
       6,
       "/dev/brimtally-none: no such device"},
      {{"get", "all-io", "--port", file}, 6, "not a serial device"},
      {{"get", "all-io", "--port", "/dev/none\x1b[2J"}, 6, "'/dev/none\\x1B[2J': no such device"},
      {{"get", "all-io", "--port", "tcp://[::1]:1"}, 6, "::1 port 1 refused the connection"},
      {{"get", "all-io"}, 6, "in use by process " + std::to_string(getpid()), true},
  };
  for (const auto& c : cases) {
    if (c.locked) {
      ASSERT_EQ(flock(held, LOCK_EX | LOCK_NB), 0);
    }
    const int before = clitest::received(log, "");
    const RunResult r = run(c.args);
    EXPECT_EQ(r.exitCode, c.code) << r.err;
    EXPECT_EQ(lines(r.err).size(), 1u) << r.err;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    if (c.code == 2) {
      EXPECT_EQ(clitest::received(log, ""), before) << "sent: " << r.err;
    }
  }
  close(held);
  sim.control("fault badsum");
  const RunResult bad = run({"get", "configuration"});
  EXPECT_EQ(bad.exitCode, 4);
  EXPECT_NE(bad.err.find("configuration: a wrong checksum in the reply"), std::string::npos)
      << bad.err;
}

TEST_F(Tool, PortsTellsWhetherADeviceTakesTheKernelsRs485Mode) {
  setenv("BRIMTALLY_COM1", sim.device().c_str(), 1);
  const json rows = json::parse(tool({"ports", "--json"}).out);
  unsetenv("BRIMTALLY_COM1");
  const auto row =
      std::find_if(rows.begin(), rows.end(), [&](const json& r) { return r["com"] == "COM1"; });
  ASSERT_NE(row, rows.end()) << rows.dump();
  EXPECT_EQ((*row)["rs485"], false);  // a pseudo-terminal has no such mode
}

TEST_F(Tool, HelpOfACommandIsItsOwn) {
  const RunResult all = run({"--help"});
  for (const char* part : {"Exit codes:", "130", "means 0X",
                           "1, 2, COM1, COM2, a device path, rfc2217://HOST:PORT or tcp://"}) {
    EXPECT_NE(all.out.find(part), std::string::npos) << part;
  }
  for (const std::string name : {"get", "set", "set pwm", "scan", "watch"}) {
    std::vector<std::string> args = words(name);
    args.push_back("--help");
    const RunResult r = run(args);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.out.find("Usage: brimtally " + name), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("Exit codes:"), std::string::npos) << r.out;
    EXPECT_LT(lines(r.out).size(), 25u) << r.out;
  }
}

TEST(ToolScan, FindsEveryModuleOnTheLine) {
  SimProcess sim({"--address", "01", "--address", "05", "--address", "0A"});
  const RunResult r = tool(
      {"scan", "--from", "00", "--to", "0C", "--json", "--port", sim.device(), "--timeout", "200"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  std::vector<std::string> found;
  for (const json& row : json::parse(r.out)) {
    found.push_back(row["address"]);
    EXPECT_EQ(row["ConfigBits"], 0x02CF);
  }
  EXPECT_EQ(found, (std::vector<std::string>{"01", "05", "0A"}));
  sim.control("fault badaddr");  // each answering address, with its verdict
  const RunResult bad =
      tool({"scan", "--from", "4", "--to", "5", "--json", "--port", sim.device()});
  ASSERT_EQ(bad.exitCode, 0) << bad.err;
  EXPECT_EQ(json::parse(bad.out)[0]["reply"], "another address");
}

TEST(ToolWatch, EndsWithAnErrorWhenTheDeviceGoes) {
  SimProcess sim({});
  std::thread killer([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    sim.stop(SIGKILL);
  });
  const RunResult r = tool(
      {"watch", "digital-in", "--interval", "0.1", "--port", sim.device(), "--timeout", "500"});
  killer.join();
  EXPECT_EQ(r.exitCode, 6);
  EXPECT_GE(lines(r.out).size(), 2u) << "the header and a sample before the end";
  EXPECT_EQ(lines(r.err).size(), 1u) << r.err;
  EXPECT_NE(r.err.find("stopped working"), std::string::npos) << r.err;
}

}  // namespace
