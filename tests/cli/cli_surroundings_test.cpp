// SPDX-License-Identifier: MIT
// brimtally when what surrounds it fails: an output that takes nothing,
// Ctrl-C and SIGTERM, a second copy on the port, the device vanishing, and a
// serial device server that turns it away.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "ser2net_process.h"
#include "tool_run.h"

namespace {

using clitest::lines;
using clitest::received;
using clitest::receives;
using clitest::tool;
using nlohmann::json;
using simtest::RunResult;
using simtest::SimProcess;

std::vector<std::string> with_log(std::vector<std::string> args, const std::string& log) {
  args.insert(args.end(), {"--no-banner", "--log", log});
  return args;
}

// The simulator with its line log, and the tool's options to reach it.
struct LoggedSim {
  explicit LoggedSim(std::vector<std::string> args) : sim(with_log(std::move(args), log)) {}
  std::vector<std::string> command(std::vector<std::string> args) const {
    args.insert(args.begin(), {"--port", sim.device(), "--timeout", "300"});
    return args;
  }
  simtest::TempDir dir;
  const std::string log = dir.path("line.log");
  SimProcess sim;
};

std::vector<std::string> addresses(const json& rows) {
  std::vector<std::string> found;
  for (const json& row : rows) found.push_back(row["address"]);
  return found;
}

TEST(ToolOutput, AnOutputThatTakesNothingStopsTheCommandAndTheLine) {
  LoggedSim s({});
  const std::vector<std::string> watch = {"watch", "all-io", "--count", "3", "--interval", "0.1"};
  std::vector<std::string> watch_json = watch;
  watch_json.push_back("--json");
  const struct {
    std::vector<std::string> args;
    std::string out, says;
    int queries;  // that reached the module
  } cases[] = {
      {{"get", "all-io"}, "-", "standard output is closed", 0},
      {watch, "-", "standard output is closed", 0},
      {{"get", "all-io"}, "</dev/null", "standard output is open for reading only", 0},
      {{"get", "all-io"}, "/dev/full", "the output could not be written (No space left", 1},
      {watch, "/dev/full", "the output could not be written", 0},  // its header failed first
      {watch_json, "/dev/full", "the output could not be written", 1},
  };
  for (const auto& c : cases) {
    const int before = received(s.log, " QE");
    const RunResult r = tool(s.command(c.args), c.out);
    EXPECT_EQ(r.exitCode, 1) << c.args[0] << " > " << c.out << ": " << r.err;
    EXPECT_EQ(lines(r.err).size(), 1u) << r.err;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    EXPECT_EQ(received(s.log, " QE") - before, c.queries) << c.args[0] << " > " << c.out;
  }
  EXPECT_EQ(tool(s.command({"get", "all-io"})).exitCode, 0) << "the port was left closed";
}

TEST(ToolSignals, ScanAndWatchEndAfterTheTransactionWithTheirOutput) {
  LoggedSim s({"--address", "01", "--address", "02", "--address", "03"});
  const struct {
    std::vector<std::string> args;
    int signal;
    std::string after;  // sent when it comes
    int times;
  } cases[] = {
      {{"scan", "--json"}, SIGINT, " 06 QC", 1},
      {{"scan", "--to", "6"}, SIGTERM, " 06 QC", 1},  // the last address
      {{"watch", "configuration", "--interval", "0.2", "--address", "2"}, SIGINT, " 02 QC", 2},
  };
  for (const auto& c : cases) {
    const int before = received(s.log, c.after);
    const RunResult r = tool(s.command(c.args), "", [&](pid_t pid) {
      receives(s.log, c.after, before + c.times);
      kill(pid, c.signal);
    });
    EXPECT_EQ(r.exitCode, 128 + c.signal) << c.args[0] << ": " << r.err;
    EXPECT_EQ(r.err, "");
    const auto rows = lines(r.out);
    if (c.args[0] == "watch") {
      ASSERT_GE(rows.size(), 3u) << r.out;
      for (size_t i = 1; i < rows.size(); ++i) EXPECT_TRUE(rows[i].ends_with(",719")) << rows[i];
    } else if (c.args.back() == "--json") {
      EXPECT_EQ(addresses(json::parse(r.out)), (std::vector<std::string>{"01", "02", "03"}));
    } else {
      ASSERT_EQ(rows.size(), 4u) << r.out;
      EXPECT_EQ(rows[3].substr(0, 6), "03    ") << r.out;
    }
  }
}

TEST(ToolPort, ASecondCopyNamesTheFirstAndScanKeepsWhatItFoundWhenTheDeviceGoes) {
  LoggedSim s({"--address", "01", "--address", "02"});
  RunResult second;
  pid_t first_pid = -1;
  const RunResult first =
      tool(s.command({"watch", "digital-in", "--interval", "0.2"}), "", [&](pid_t pid) {
        first_pid = pid;
        receives(s.log, " QI");
        second = tool(s.command({"get", "all-io"}));
        kill(pid, SIGTERM);
      });
  EXPECT_EQ(first.exitCode, 143) << first.err;
  EXPECT_EQ(second.exitCode, 6);
  // Its whole command line, where the kernel's name would stop at "brimtally".
  EXPECT_NE(second.err.find("in use by process " + std::to_string(first_pid) +
                            " (brimtally --port " + s.sim.device() + " --timeout 300 watch"),
            std::string::npos)
      << second.err;

  const RunResult scan = tool(s.command({"scan", "--json"}), "", [&](pid_t) {
    receives(s.log, " 05 QC");
    s.sim.control("fault vanish");
  });
  EXPECT_EQ(scan.exitCode, 6) << scan.err;
  EXPECT_EQ(addresses(json::parse(scan.out)), (std::vector<std::string>{"01", "02"}));
  EXPECT_EQ(lines(scan.err).size(), 1u) << scan.err;
  EXPECT_NE(scan.err.find("stopped working"), std::string::npos) << scan.err;
}

int connect_to(uint16_t port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  const sockaddr_in address{AF_INET, htons(port), {htonl(INADDR_LOOPBACK)}, {}};
  connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  return fd;
}

TEST(ToolDeviceServer, SaysWhyTheServerTurnedItAway) {
  if (access("/usr/sbin/ser2net", X_OK) != 0) GTEST_SKIP() << "ser2net is not installed";
  SimProcess sim({"--no-banner"});
  const bt_test::Ser2net telnet("rfc2217", sim.device(), sim.scratch("telnet.pid"));
  const bt_test::Ser2net raw("tcp", sim.device(), sim.scratch("raw.pid"));
  const uint16_t refusing = bt_test::free_port();
  // Its one place in the queue taken, a listener drops every further SYN: as a host that
  // does not answer.
  int silent = -1;
  const uint16_t full = bt_test::free_port(&silent);
  listen(silent, 0);
  const int queued[] = {connect_to(full), connect_to(full)};
  const std::string in_use =
      "the serial device server said the port is in use (another client holds it); close the "
      "other client";
  const struct {
    std::string url;
    const bt_test::Ser2net* held;  // a client of this server holds the line
    int code;
    std::string says;
  } cases[] = {
      {"rfc2217://127.0.0.1:" + std::to_string(telnet.port()), nullptr, 0, ""},
      {"rfc2217://127.0.0.1:" + std::to_string(telnet.port()), &telnet, 6, in_use},
      {"tcp://127.0.0.1:" + std::to_string(raw.port()), &raw, 6, in_use},
      {"tcp://127.0.0.1:" + std::to_string(refusing), nullptr, 6, "refused the connection"},
      {"rfc2217://brimtally-test.invalid:2217", nullptr, 6,
       "host brimtally-test.invalid is not known"},
      {"tcp://127.0.0.1:" + std::to_string(full), nullptr, 6, "did not answer within 3 s"},
  };
  for (const auto& c : cases) {
    const int client = c.held != nullptr ? c.held->hold_line() : -1;
    const RunResult r = tool({"get", "digital-in", "--port", c.url, "--timeout", "1000"});
    EXPECT_EQ(r.exitCode, c.code) << c.url << ": " << r.err;
    EXPECT_EQ(lines(r.err).size(), c.code != 0 ? 1u : 0u) << r.err;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << c.url << ": " << r.err;
    if (client >= 0) close(client);
  }
  for (int fd : {silent, queued[0], queued[1]}) close(fd);
}

}  // namespace
