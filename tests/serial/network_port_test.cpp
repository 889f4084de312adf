// SPDX-License-Identifier: MIT
// Network ports against a real ser2net started in front of the simulator, for
// rfc2217:// and tcp://: the library loaded by path, and the driver's codes.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iterator>

#include "ser2net_process.h"
#include "serial/serial_port.h"
#include "sim_session.h"

namespace bt_test {
namespace {

struct DriverPort {
  explicit DriverPort(const std::string& name) {
    setenv("BRIMTALLY_COM1", name.c_str(), 1);
    port = bt::port_open(0, 9600, 'N', 8, 1);
  }
  DriverPort(const DriverPort&) = delete;
  DriverPort& operator=(const DriverPort&) = delete;
  ~DriverPort() { port->ops->close(*port); }
  std::string read_line(int timeout_ms, int* result) {
    char line[100] = "";
    *result = bt::port_read_line(port, line, sizeof line, 13, timeout_ms);
    return line;
  }
  bt::SerialPort* port;
};

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
  const std::string out = session_.sim().scratch("out");
  ASSERT_EQ(
      std::system((bin + "/brimtally get digital-in --json --port " + url + ">" + out).c_str()), 0);
  std::ifstream json(out);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(json), {}), "{\"DigitalIn\":60}\n");
  if (access((bin + "/PEXILConfig").c_str(), X_OK) != 0) return;  // a build without the program
  const std::string program = "QT_QPA_PLATFORM=offscreen PEXILCONFIG_DEMO_SCREENSHOT=" + out +
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
  const std::string tool = std::string(BRIMTALLY_BIN_DIR) + "/brimtally get digital-in --port '";
  const std::string out = echoing.sim().scratch("out");
  ASSERT_EQ(std::system((tool + url + "' --json >" + out).c_str()), 0);
  std::ifstream json(out);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(json), {}), "{\"DigitalIn\":60}\n");
  // Each fault with its exit code and words: a mistyped option, our own
  // command back without the option, a collision in a raw exchange.
  const struct {
    std::string command, says;
    int code;
  } faults[] = {
      {tool + url + "&pause=x'", "\"pause=x\" takes milliseconds", 2},
      {tool + server.url(GetParam()) + "'", "(a two-wire line): add ?echo to --port", 4},
      {std::string(BRIMTALLY_BIN_DIR) + "/brimtally send QC --port '" + url + "'",
       "Echo mismatch: the line returned the command changed", 4},
  };
  for (const auto& fault : faults) {
    if (fault.code == 4 && fault.command.find(" send ") != std::string::npos) {
      ASSERT_EQ(echoing.sim().control("collide"), "ok 1 echoes to collide");
    }
    EXPECT_EQ(WEXITSTATUS(std::system((fault.command + " 2>" + out).c_str())), fault.code);
    std::ifstream error(out);
    EXPECT_NE(std::string(std::istreambuf_iterator<char>(error), {}).find(fault.says),
              std::string::npos)
        << fault.command;
  }
}

std::vector<std::string> g_dump;

TEST_P(NetworkPort, BytesFFCrossBothWaysAndTheDumpNamesTheServer) {
  DriverPort net(ser2net_.url(GetParam()));
  ASSERT_EQ(net.port->status, bt::kPortOk);
  EXPECT_EQ(net.port->driver_kind, bt::kDriverKindNetwork);
  const std::string sent = "Z\xFF\xFFY\xFF\r";
  EXPECT_EQ(net.port->ops->write_block(*net.port, sent.data(), static_cast<int>(sent.size())), 0);
  ASSERT_TRUE(session_.wait_logged("in", 1));
  EXPECT_EQ(session_.logged("in").back(), sent);
  int result = 0;
  EXPECT_EQ(net.read_line(2000, &result), "Error: unknown command");
  EXPECT_EQ(net.read_line(2000, &result), "BRIM>");

  // Random bytes from the module, 0xFF among them, arrive exactly as sent.
  ASSERT_EQ(session_.sim().control("fault burst 400"), "ok burst 400");
  std::string got(400, '\0');
  for (int n = 0, i = 0; n < 400 && i < 3000; ++i, usleep(1000)) {
    if (net.port->ops->read_block(*net.port, &got[n], 400 - n) == 0) n += net.port->count;
  }
  ASSERT_TRUE(session_.wait_logged("out", 1));
  EXPECT_NE(got.find('\xFF'), std::string::npos);
  EXPECT_EQ(got, session_.logged("out").back());

  // Two stop bits, as the server confirms them (RFC 2217 has its own codes).
  EXPECT_EQ(net.port->ops->set_params(*net.port, 9600, 'N', 8, 2), bt::kPortOk);
  g_dump.clear();
  net.port->ops->dump(*net.port, [](const char* line) { g_dump.push_back(line); });
  ASSERT_EQ(g_dump.size(), 10u);
  EXPECT_NE(g_dump[1].find("127.0.0.1 port " + std::to_string(ser2net_.port())), std::string::npos)
      << g_dump[1];
  EXPECT_NE(g_dump[1].find("BaudRate: 9600    ByteSize: 8  Parity: 0"), std::string::npos)
      << g_dump[1];
  EXPECT_EQ(g_dump[2].rfind("StopBits: 2 ", 0), 0u) << g_dump[2];
  EXPECT_EQ(net.port->ops->send_break(*net.port, 5), 0);
  EXPECT_EQ(net.port->status, bt::kPortOk);
}

TEST_P(NetworkPort, AServerKilledMidReadFailsTheReadAndTheNextOpenWorksOnceItIsBack) {
  auto net = std::make_unique<DriverPort>(ser2net_.url(GetParam()));
  ASSERT_EQ(net->port->status, bt::kPortOk);
  std::thread killer([&] {
    usleep(200'000);
    ser2net_.stop();
  });
  int result = 0;
  long ms = 0;
  // Nothing was asked, so only the hang-up can end the read before 20 s.
  timed(ms, [&] { return net->read_line(20000, &result); });
  killer.join();
  EXPECT_EQ(result, bt::kGeneralError);
  EXPECT_LT(ms, 10000);
  EXPECT_EQ(net->port->ops->write_block(*net->port, "QC\r", 3), bt::kGeneralError);

  ser2net_.start();
  net = std::make_unique<DriverPort>(ser2net_.url(GetParam()));
  ASSERT_EQ(net->port->status, bt::kPortOk);
  net->port->ops->write_block(*net->port, "QC\r", 3);
  std::string line;
  for (int i = 0; i < 5 && line.rfind("C:", 0) != 0; ++i) line = net->read_line(2000, &result);
  EXPECT_EQ(line, "C:02CF");
}

INSTANTIATE_TEST_SUITE_P(Schemes, NetworkPort, testing::Values("rfc2217", "tcp"));

TEST(NetworkPortNames, RefusedUnknownSilentAndMalformedNamesFailTheOpenCleanly) {
  int silent = -1;
  const std::string silent_port = std::to_string(free_port(&silent));
  const std::string refused_port = std::to_string(free_port());
  const struct {
    std::string name;
    int32_t status;
  } cases[] = {
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
  for (const auto& c : cases) {
    const auto start = Clock::now();
    DriverPort net(c.name);
    const long ms = elapsed_ms(start);
    EXPECT_EQ(net.port->status, c.status) << c.name;
    EXPECT_EQ(net.port->device, nullptr) << c.name;
    EXPECT_LT(ms, 6000) << c.name;
  }
  close(silent);
}

}  // namespace
}  // namespace bt_test
