// SPDX-License-Identifier: MIT
// Network ports against a real ser2net started in front of the simulator, for
// rfc2217:// and tcp://: the library loaded by path, and the driver's codes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <tuple>

#include "port_guard.h"
#include "ser2net_process.h"
#include "serial/serial_port.h"
#include "sim_session.h"

namespace bt_test {
namespace {

using bt::test::PortGuard;
using bt::test::read_line;

bt::SerialPort* open_named(const std::string& name) {
  return bt::port_open_named(0, name.c_str(), 9600, 'N', 8, 1);
}

// The tool, run to its end: its exit code and both outputs.
simtest::RunResult brimtally(std::vector<std::string> args) {
  args.insert(args.begin(), std::string(BRIMTALLY_BIN_DIR) + "/brimtally");
  return simtest::runToCompletion(args, 60000, false);
}

class NetworkPort : public testing::TestWithParam<std::string> {
 protected:
  NetworkPort() { session_.use_device(ser2net_.url(GetParam())); }
  SimSession session_;
  Ser2net ser2net_{GetParam(), session_.sim().device(), session_.sim().scratch("ser2net.pid")};
};

TEST_P(NetworkPort, TypedQueriesSettingsAndRawLinesWorkThroughTheServer) {
  const Exports& lib = SimSession::lib();
  ASSERT_EQ(lib.btPortOpen(1, 9600), BT_OK);
  ModuleRecord record = session_record();
  EXPECT_EQ(lib.btGetDigitalIn(&record), BT_OK);
  EXPECT_EQ(record.DigitalIn, 0x3C);
  EXPECT_EQ(lib.btSetDigitalOut(&record, 0x5A), BT_OK);
  EXPECT_EQ(lib.btGetDigitalOut(&record), BT_OK);
  EXPECT_EQ(record.DigitalOut, 0x5A);
  std::strcpy(record.MessageText, "QC\r");
  EXPECT_EQ(lib.ex_xmit_msg(&record), 3);
  EXPECT_EQ(lib.ex_read_line(&record), 6);
  EXPECT_STREQ(record.ReplyText, "C:02CF");
}

// The tool and the program take the same names: the tool reads the module's
// inputs, the program's start-up query brings the configuration in.
TEST_P(NetworkPort, TheToolAndTheProgramReachTheModuleThroughTheServer) {
  const std::string bin = BRIMTALLY_BIN_DIR, url = ser2net_.url(GetParam());
  const simtest::RunResult tool = brimtally({"get", "digital-in", "--json", "--port", url});
  EXPECT_EQ(tool.exitCode, 0) << tool.err;
  EXPECT_EQ(tool.out, "{\"DigitalIn\":60}\n");
  if (access((bin + "/PEXILConfig").c_str(), X_OK) != 0) return;  // a build without the program
  const std::string program =
      "QT_QPA_PLATFORM=offscreen PEXILCONFIG_DEMO_SCREENSHOT=" + session_.sim().scratch("out") +
      ".png timeout 60 " + bin + "/PEXILConfig 2>/dev/null";
  EXPECT_EQ(std::system(program.c_str()), 0);
}

// A two-wire line behind the server returns what is sent: the echo option
// holds through it, and the tool names a mistyped option before anything
// opens.
TEST_P(NetworkPort, AnEchoingLineBehindTheServerTakesTheEchoOption) {
  SimSession echoing({"--echo"});
  Ser2net server{GetParam(), echoing.sim().device(), echoing.sim().scratch("ser2net.pid")};
  const std::string url = server.url(GetParam()) + "?echo";
  const simtest::RunResult tool = brimtally({"get", "digital-in", "--port", url, "--json"});
  EXPECT_EQ(tool.exitCode, 0) << tool.err;
  EXPECT_EQ(tool.out, "{\"DigitalIn\":60}\n");
  // Each fault with its exit code and words: a mistyped option, our own
  // command back without the option, a collision in a raw exchange.
  const std::tuple<std::vector<std::string>, std::string, int> faults[] = {
      {{"get", "digital-in", "--port", url + "&pause=x"}, "\"pause=x\" takes milliseconds", 2},
      {{"get", "digital-in", "--port", server.url(GetParam())},
       "(a two-wire line): add ?echo to --port",
       4},
      {{"send", "QC", "--port", url}, "Echo mismatch: the line returned the command changed", 4},
  };
  for (const auto& [args, says, code] : faults) {
    SCOPED_TRACE(says);
    if (args[0] == "send") {
      ASSERT_EQ(echoing.sim().control("collide"), "ok 1 echoes to collide");
    }
    const simtest::RunResult run = brimtally(args);
    EXPECT_EQ(run.exitCode, code);
    EXPECT_NE(run.err.find(says), std::string::npos) << run.err;
  }
}

TEST_P(NetworkPort, BytesFFCrossBothWaysAndTheDumpNamesTheServer) {
  PortGuard net(open_named(ser2net_.url(GetParam())));
  ASSERT_EQ(net->status, bt::kPortOk);
  EXPECT_EQ(net->driver_kind, bt::kDriverKindNetwork);
  const std::string sent = "Z\xFF\xFFY\xFF\r";
  EXPECT_EQ(net->ops->write_block(*net, sent.data(), static_cast<int>(sent.size())), 0);
  ASSERT_TRUE(session_.wait_logged("in", 1));
  EXPECT_EQ(session_.logged("in").back(), sent);
  EXPECT_EQ(read_line(net.get(), 13).line, "Error: unknown command");
  EXPECT_EQ(read_line(net.get(), 13).line, "BRIM>");

  // Random bytes from the module, 0xFF among them, arrive exactly as sent.
  ASSERT_EQ(session_.sim().control("fault burst 400"), "ok burst 400");
  std::string got(400, '\0');
  for (int n = 0, i = 0; n < 400 && i < 3000; ++i, usleep(1000)) {
    if (net->ops->read_block(*net, &got[n], 400 - n) == 0) n += net->count;
  }
  ASSERT_TRUE(session_.wait_logged("out", 1));
  EXPECT_NE(got.find('\xFF'), std::string::npos);
  EXPECT_EQ(got, session_.logged("out").back());

  // Two stop bits, as the server confirms them (RFC 2217 has its own codes).
  EXPECT_EQ(net->ops->set_params(*net, 9600, 'N', 8, 2), bt::kPortOk);
  const std::vector<std::string> dump = bt::test::dump_lines(*net);
  ASSERT_EQ(dump.size(), 10u);
  EXPECT_NE(dump[1].find("127.0.0.1 port " + std::to_string(ser2net_.port())), std::string::npos)
      << dump[1];
  EXPECT_NE(dump[1].find("BaudRate: 9600    ByteSize: 8  Parity: 0"), std::string::npos) << dump[1];
  EXPECT_EQ(dump[2].rfind("StopBits: 2 ", 0), 0u) << dump[2];
  EXPECT_EQ(net->ops->send_break(*net, 5), 0);
  EXPECT_EQ(net->status, bt::kPortOk);
}

TEST_P(NetworkPort, AServerKilledMidReadFailsTheReadAndTheNextOpenWorksOnceItIsBack) {
  PortGuard net(open_named(ser2net_.url(GetParam())));
  ASSERT_EQ(net->status, bt::kPortOk);
  std::thread killer([&] {
    usleep(200'000);
    ser2net_.stop();
  });
  long ms = 0;
  // Nothing was asked, so only the hang-up can end the read before 20 s.
  const auto read = timed(ms, [&] { return read_line(net.get(), 13, 20000); });
  killer.join();
  EXPECT_EQ(read.result, bt::kGeneralError);
  EXPECT_LT(ms, 10000);
  EXPECT_EQ(net->ops->write_block(*net, "QC\r", 3), bt::kGeneralError);

  ser2net_.start();
  PortGuard back(open_named(ser2net_.url(GetParam())));
  ASSERT_EQ(back->status, bt::kPortOk);
  back->ops->write_block(*back, "QC\r", 3);
  std::string line;
  for (int i = 0; i < 5 && line.rfind("C:", 0) != 0; ++i) line = read_line(back.get(), 13).line;
  EXPECT_EQ(line, "C:02CF");
}

INSTANTIATE_TEST_SUITE_P(Schemes, NetworkPort, testing::Values("rfc2217", "tcp"));

TEST(NetworkPortNames, RefusedUnknownSilentAndMalformedNamesFailTheOpenCleanly) {
  int silent = -1;
  const std::string silent_port = std::to_string(free_port(&silent));
  const std::string refused_port = std::to_string(free_port());
  const std::pair<std::string, int32_t> cases[] = {
      {"rfc2217://127.0.0.1:" + refused_port, bt::kNoDevice},
      {"tcp://127.0.0.1:" + refused_port, bt::kNoDevice},
      {"TCP://no-such-host.invalid:2217", bt::kNoDevice},
      // Accepts the connection, never negotiates.
      {"rfc2217://127.0.0.1:" + silent_port, bt::kNoDevice},
      {"tcp://", bt::kInvalidPort},
      {"tcp://127.0.0.1", bt::kInvalidPort},
      {"rfc2217://:2217", bt::kInvalidPort},
      {"TCP://127.0.0.1:0", bt::kInvalidPort},  // the scheme in any case
      {"tcp://127.0.0.1:65536", bt::kInvalidPort},
      {"tcp://127.0.0.1:22x", bt::kInvalidPort},
      {"tcp://a b:22", bt::kInvalidPort},
      {"rfc2217://[::1:22", bt::kInvalidPort},
  };
  for (const auto& [name, status] : cases) {
    SCOPED_TRACE(name);
    const auto start = Clock::now();
    const PortGuard net(open_named(name));
    EXPECT_LT(elapsed_ms(start), 6000);
    EXPECT_EQ(net->status, status);
    EXPECT_EQ(net->device, nullptr);
  }
  close(silent);
}

}  // namespace
}  // namespace bt_test
