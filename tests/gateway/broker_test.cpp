// SPDX-License-Identifier: MIT
// brimtally-gateway and its broker: logins, and every way the connection can
// end or be contested, against a private mosquitto (and, for DISCONNECT
// reason codes mosquitto will not send on demand, a scripted broker).
#include "gateway_fixture.h"
#include "scripted_broker.h"

namespace {

using namespace gwtest;

TEST(GatewayBroker, ADisconnectWithAnyReasonIsFollowedByAReconnect) {
  simtest::TempDir dir;
  ScriptedBroker broker;
  std::ofstream(dir.path("gw.toml"))
      << "[mqtt]\nbroker = \"" << broker.url() << "\"\n[line]\nname = \"line1\"\nport = \""
      << dir.path("absent") << "\"\n[[module]]\nname = \"m\"\naddress = \"01\"\n"
      << "poll = [\"digital-in\"]\n";
  GatewayRun gateway(dir.path("gw.toml"), dir.path("gw.log"));
  const auto states = [&] {
    const auto topics = broker.published();
    return std::count(topics.begin(), topics.end(), kLine + "/state");
  };
  ASSERT_TRUE(eventually([&] { return states() == 1; }));
  int connects = 1;
  // Server shutting down, protocol error, use another server.
  for (const char* reason : {"0x8B", "0x82", "0x9C"}) {
    broker.disconnect(std::stoi(reason, nullptr, 16));
    ++connects;
    // Back, and everything republished, starting with the line's state.
    EXPECT_TRUE(eventually([&] { return broker.connects() == connects && states() == connects; }))
        << reason;
    EXPECT_NE(slurp(dir.path("gw.log")).find(std::string("disconnected us (") + reason),
              std::string::npos)
        << reason << slurp(dir.path("gw.log"));
  }
}

TEST_F(Gateway, NothingIsLostInAShortAbsence) {
  start();
  ASSERT_TRUE(sees(kLine + "/valve/availability", "online"));
  // Killed and started again: the broker kept its session and the requests
  // published meanwhile, but let the one that expired go.
  gateway->stop(SIGKILL);
  ASSERT_TRUE(sees(kLine + "/state", "offline"));
  const std::string topic = kLine + "/valve/set/digital-out";
  probe->publish(topic, R"({"args": [6], "transaction": "stale"})", false, 1, 1);
  probe->publish(topic, R"({"args": [5], "transaction": "kept"})");
  std::this_thread::sleep_for(std::chrono::seconds(2));
  gateway = std::make_unique<GatewayRun>(dir.path("gw.toml"), dir.path("gw.log"));
  EXPECT_TRUE(seesJson(kLine + "/valve/response", [](const json& j) {
    return j["transaction"] == "kept" && j["status"] == 0;
  }));
  EXPECT_EQ(module(1)["digital_out"], 5);
  EXPECT_EQ(onLine(" 02 SO 06"), "");
  // Responses due while another client holds our session go out when we
  // take it back.
  for (int t = 1; t <= 4; ++t) {
    probe->publish(topic, "{\"args\": [" + std::to_string(t) +
                              "], \"transaction\": " + std::to_string(t) + "}");
  }
  const auto answered = [&](int t) {
    return received(kLine + "/valve/response",
                    [&](const json& j) { return j["transaction"] == t && j["status"] == 0; });
  };
  ASSERT_TRUE(eventually([&] { return answered(1) == 1; }));
  const size_t online = probe->all(kLine + "/state").size();
  { MqttProbe thief(broker.url(), {.clientId = clientId()}); }
  for (int t = 2; t <= 4; ++t) EXPECT_TRUE(eventually([&] { return answered(t) > 0; })) << t;
  EXPECT_TRUE(eventually([&] { return probe->all(kLine + "/state").size() > online; }));
  // What the broker had acknowledged before is not sent again.
  EXPECT_EQ(answered(1), 1u);
  EXPECT_EQ(probe->all(kLine + "/state").back().payload, "online");
  const std::string log = slurp(dir.path("gw.log"));
  EXPECT_NE(log.find("another client connected with this gateway's client id " + clientId() + ")"),
            std::string::npos)
      << log;
}

TEST_F(Gateway, ASecondGatewayForTheLineLeavesBrokerAndPortAlone) {
  start();
  ASSERT_TRUE(sees(kLine + "/pump/availability", "online"));
  probe->clear();
  // Its own file again, and another line's file naming the same port.
  auto on = [&](const std::string& line, const std::string& port) {
    std::string text = slurp(dir.path("gw.toml"));
    text.replace(text.find("line1"), 5, line)
        .replace(text.find(dir.path("tty")), dir.path("tty").size(), port);
    std::ofstream(dir.path(line + ".toml")) << text;
    return std::vector<std::string>{BRIMTALLY_GATEWAY_PATH, "--config", dir.path(line + ".toml")};
  };
  const std::vector<std::string> again{BRIMTALLY_GATEWAY_PATH, "--config", dir.path("gw.toml")};
  for (const auto& [command, says] :
       {std::pair{again, "the line brimtally/line1 on " + broker.url()},
        {on("line2", dir.path("tty")), "the port " + dir.path("tty")}}) {
    const auto second = simtest::runToCompletion(command, 20000, false);
    EXPECT_EQ(second.exitCode, 3) << second.err;
    EXPECT_NE(
        second.err.find(says + " is already served by process " + std::to_string(gateway->pid())),
        std::string::npos)
        << second.err;
  }
  const std::string log = broker.log();
  size_t clients = 0;
  for (size_t at = 0; (at = log.find(" as brimtally-gateway", at)) != std::string::npos; ++at) {
    ++clients;
  }
  EXPECT_EQ(clients, 1u) << log;
  EXPECT_FALSE(probe->waitFor(
      kLine + "/state", [](const std::string& p) { return p == "offline"; }, 1000));
  EXPECT_EQ(probe->count("brimtally/line2/state"), 0u);
  // A network port is its server's host and port, whatever their case;
  // another port of the same server is another line's.
  GatewayRun served(on("line3", "tcp://localhost:9")[2], dir.path("line3.log"));
  ASSERT_TRUE(sees("brimtally/line3/state", "online"));
  EXPECT_EQ(simtest::runToCompletion(on("line4", "TCP://LocalHost:9"), 20000, false).exitCode, 3);
  EXPECT_EQ(simtest::runToCompletion(on("line5", "tcp://localhost:10"), 1500, false).exitCode, -1);
}

TEST(GatewaySecurity, LogsInOverTlsAndWithAPasswordFile) {
  struct Case {
    BrokerMode mode;
    std::string password;
    bool online;
  };
  for (const Case& c :
       {Case{BrokerMode::Password, "gateway-secret", true},
        Case{BrokerMode::Password, "wrong", false}, Case{BrokerMode::Tls, "", true}}) {
    simtest::TempDir dir;
    SimProcess sim{{"--no-banner", "--link", dir.path("tty")}};
    BrokerProcess broker(c.mode);
    std::ofstream(dir.path("secret")) << c.password << "\n";
    const std::string login =
        "username = \"gateway\"\npassword_file = \"" + dir.path("secret") + "\"\n";
    std::ofstream(dir.path("gw.toml"))
        << "[mqtt]\nbroker = \"" << broker.url() << "\"\n"
        << (c.mode == BrokerMode::Tls ? "ca_file = \"" + broker.caFile() + "\"\n" : login)
        << "[line]\nname = \"line1\"\nport = \"" << dir.path("tty")
        << "\"\n[[module]]\nname = \"m\"\naddress = \"01\"\npoll = [\"digital-in\"]\n";
    GatewayRun gateway(dir.path("gw.toml"), dir.path("gw.log"));
    const bool tls = c.mode == BrokerMode::Tls;
    MqttProbe probe(broker.url(), {.user = tls ? "" : broker.user(),
                                   .password = tls ? "" : broker.password(),
                                   .caFile = broker.caFile()});
    probe.subscribe(kLine + "/state");
    EXPECT_EQ(probe.waitFor(kLine + "/state").has_value(), c.online) << c.password;
    const std::string log = slurp(dir.path("gw.log"));
    EXPECT_TRUE(c.password.empty() || log.find(c.password) == std::string::npos) << log;
    if (!c.online) {
      // Refused and retried, but said once.
      EXPECT_NE(log.find("refused the login of user \"gateway\" (the broker refused the connection "
                         "(0x87: Not authorized)"),
                std::string::npos)
          << log;
      EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
    }
  }
}

TEST(GatewaySecurity, AClientCertificateIsTheLoginAndTheAclKeepsLinesApart) {
  simtest::TempDir dir;
  SimProcess sim{{"--no-banner", "--link", dir.path("tty"), "--log", dir.path("line.log")}};
  BrokerProcess broker(BrokerMode::MutualTls);
  const auto login = [&](const std::string& name) {
    const auto [cert, key] = broker.clientCertificate(name);
    return Login{.caFile = broker.caFile(), .certFile = cert, .keyFile = key};
  };
  const Login gatewayLogin = login("line1");
  std::ofstream(dir.path("gw.toml"))
      << "[mqtt]\nbroker = \"" << broker.url() << "\"\nca_file = \"" << broker.caFile()
      << "\"\ncert_file = \"" << gatewayLogin.certFile << "\"\nkey_file = \""
      << gatewayLogin.keyFile << "\"\n[line]\nname = \"line1\"\nport = \"" << dir.path("tty")
      << "\"\n[[module]]\nname = \"m\"\naddress = \"01\"\npoll = [\"digital-out\"]\n";
  GatewayRun gateway(dir.path("gw.toml"), dir.path("gw.log"));
  MqttProbe observer(broker.url(), login("observer"));
  observer.subscribe("brimtally/#");
  ASSERT_TRUE(observer.waitFor(kLine + "/m/availability").has_value()) << broker.log();
  // Another line's gateway may not set this line's outputs; an operator may.
  MqttProbe(broker.url(), login("line2")).publish(kLine + "/m/set/digital-out", "[66]", false, 0);
  MqttProbe(broker.url(), login("operator"))
      .publish(kLine + "/m/set/digital-out", R"({"args": [33], "transaction": "op"})");
  EXPECT_TRUE(observer.waitFor(kLine + "/m/response", [](const std::string& p) {
    return p.find("\"op\"") != std::string::npos;
  }));
  const std::string line = slurp(dir.path("line.log"));
  EXPECT_NE(line.find(" 01 SO 21"), std::string::npos) << line;
  EXPECT_EQ(line.find(" 01 SO 42"), std::string::npos) << line;
}

}  // namespace
