// brimtally, the program, against the simulator: what it prints, what the
// module receives, and how it fails.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>
#include <thread>

#include "sim_process.h"

namespace {

using nlohmann::json;
using simtest::RunResult;
using simtest::SimProcess;

RunResult tool(std::vector<std::string> args) {
  args.insert(args.begin(), BRIMTALLY_CLI_PATH);
  return simtest::runToCompletion(args, 60000, false);
}

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

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

// One module holding distinct values that stay still (no drift, no frequency
// for the totalizer to count).
class Tool : public ::testing::Test {
 protected:
  SimProcess sim{
      {"--no-banner", "--drift", "0",       "--set", "a0=17",   "--set", "a1=34",       "--set",
       "a2=51",       "--set",   "a3=68",   "--set", "a4=1234", "--set", "a5=3000",     "--set",
       "min4=5",      "--set",   "d0=100",  "--set", "d1=2047", "--set", "do=0x3C",     "--set",
       "dir=0xF0",    "--set",   "di=0x05", "--set", "freq=0",  "--set", "total=0x1234"}};
  RunResult run(std::vector<std::string> args) {
    args.insert(args.begin(), {"--port", sim.device(), "--timeout", "1000"});
    return tool(args);
  }
};

TEST_F(Tool, EachQueryPrintsWhatTheModuleHolds) {
  sim.control("key 12A");
  const json held = moduleState(sim);
  const std::vector<std::pair<std::string, std::vector<std::pair<std::string, std::string>>>>
      cases = {
          {"all-io",
           {{"AnalogIn0", "/analog_in/0"},
            {"AnalogIn3", "/analog_in/3"},
            {"AnalogIn4", "/analog_in/4"},
            {"AnalogIn5", "/analog_in/5"},
            {"AnalogOut0", "/analog_out/0"},
            {"AnalogOut1", "/analog_out/1"},
            {"DigitalIn", "/digital_in"},
            {"DigitalOut", "/digital_out"},
            {"PortDirection", "/direction"},
            {"Frequency", "/frequency"},
            {"Totalizer", "/totalizer"},
            {"ConfigBits", "/config"}}},
          {"min-max",
           {{"AnalogIn4", "/analog_in/4"},
            {"Analog4Min", "/min/0"},
            {"Analog4Max", "/max/0"},
            {"AnalogIn5", "/analog_in/5"},
            {"Analog5Max", "/max/1"}}},
          {"digital-in", {{"DigitalIn", "/digital_in"}}},
          {"digital-out", {{"DigitalOut", "/digital_out"}}},
          {"direction", {{"PortDirection", "/direction"}}},
          {"configuration", {{"ConfigBits", "/config"}}},
          {"frequency", {{"Frequency", "/frequency"}}},
          {"totalizer", {{"Totalizer", "/totalizer"}}},
      };
  for (const auto& [query, fields] : cases) {
    const RunResult r = run({"get", query, "--json"});
    ASSERT_EQ(r.exitCode, 0) << query << ": " << r.err;
    const json got = json::parse(r.out);
    EXPECT_EQ(got.size(), query == "all-io" ? 14u : query == "min-max" ? 8u : 1u) << query;
    for (const auto& [key, pointer] : fields) {
      EXPECT_EQ(got.at(key), held.at(json::json_pointer(pointer))) << query << " " << key;
    }
  }
  const json serial = json::parse(run({"get", "serial-number", "--json"}).out)["SerialNumber"];
  std::string digits;
  for (int byte : serial)
    digits +=
        (std::ostringstream() << std::uppercase << std::hex << (byte >> 4) << (byte & 15)).str();
  EXPECT_EQ(digits, held["serial"]);
  EXPECT_EQ(json::parse(run({"get", "key", "--json"}).out)["KeyText"], " 12A");
  EXPECT_EQ(lines(run({"get", "direction", "--csv"}).out),
            (std::vector<std::string>{"PortDirection", "240"}));
}

TEST_F(Tool, EachSettingReachesTheModule) {
  const std::vector<std::tuple<std::vector<std::string>, std::string, json>> cases = {
      {{"analog-out", "100", "0x7FF"}, "/analog_out", {100, 2047}},
      {{"analog-limits", "4", "0x100", "0xE00"}, "/low_limit/4", 256},
      {{"analog-limits", "1", "7", "200"}, "/high_limit/1", 200},
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
  const RunResult csv = run({"watch", "digital-out", "--interval", "0.1", "--count", "3"});
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
  const std::string stamp = R"(\d+\.\d{3} COM1 )";
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
      {{"frobnicate"}, 2, "unknown command 'frobnicate'"},
      {{"set", "frob", "1"}, 2, "unknown setting 'frob'"},
      {{"get", "everything"}, 2, "everything not in"},
      {{"set", "pwm", "70000", "50"},
       2,
       "PERIOD 70000 is out of range: the module takes 0 to 65535"},
      {{"set", "analog-limits", "2", "0", "0x100"}, 2, "HIGH 0x100 is out of range"},
      {{"set", "digital-out", "-1"}, 2, ""},
      {{"get", "all-io", "--baud", "4800"}, 2, "4800"},
      {{"get", "digital-in", "--address", "77"}, 3, "address 77: no reply to digital-in"},
      {{"get", "all-io", "--port", "/dev/brimtally-none"},
       6,
       "/dev/brimtally-none: no such device"},
      {{"get", "all-io", "--port", file}, 6, "not a serial device"},
      {{"get", "all-io"}, 6, "in use by process " + std::to_string(getpid()), true},
  };
  for (const auto& c : cases) {
    if (c.locked) {
      ASSERT_EQ(flock(held, LOCK_EX | LOCK_NB), 0);
    }
    const RunResult r = run(c.args);
    EXPECT_EQ(r.exitCode, c.code) << c.args[0] << " " << c.args.back() << ": " << r.err;
    EXPECT_EQ(lines(r.err).size(), 1u) << r.err;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
  }
  close(held);
  EXPECT_EQ(moduleState(sim)["pwm_period"], 1000);  // the refused setting sent nothing
  sim.control("fault badsum");
  const RunResult bad = run({"get", "configuration"});
  EXPECT_EQ(bad.exitCode, 4);
  EXPECT_NE(bad.err.find("wrong checksum"), std::string::npos) << bad.err;
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
