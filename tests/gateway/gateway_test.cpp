// SPDX-License-Identifier: MIT
// brimtally-gateway, the program, between the simulator and a private
// mosquitto: what reaches the broker, what reaches the modules, and how it
// rides out a lost port, a lost broker and its own end.
#include <sys/socket.h>
#include <sys/un.h>

#include "gateway_fixture.h"
#include "ser2net_process.h"

namespace {

using namespace gwtest;

TEST_F(Gateway, PublishesStatesAvailabilityAndDiscovery) {
  start();
  EXPECT_TRUE(sees(kLine + "/state", "online"));
  EXPECT_TRUE(sees(kLine + "/pump/availability", "online"));
  EXPECT_TRUE(seesJson(kLine + "/pump", [](const json& j) {
    return j.size() == 15 && j["AnalogIn0"] == 17 && j["ConfigBits"] == 0x2CF &&
           std::regex_match(j["time"].get<std::string>(),
                            std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z)"));
  }));
  // Polled every 0.2 s, published only when a value changed.
  eventually([&] { return timesOnLine("01 QE").size() >= 5; });
  sim.control("set @01 di 90");
  EXPECT_TRUE(seesJson(kLine + "/pump", [](const json& j) { return j["DigitalIn"] == 90; }));
  EXPECT_EQ(probe->count(kLine + "/pump"), 2u);
  // The valve is polled again only when asked.
  sim.control("set @02 do 7");
  probe->publish(kLine + "/valve/get", "");
  EXPECT_TRUE(seesJson(kLine + "/valve", [](const json& j) {
    return j == json{{"DigitalOut", 7}, {"PortDirection", 255}, {"time", j["time"]}};
  }));
  const std::string sensor = "homeassistant/sensor/brimtally_line1_pump/AnalogIn0/config";
  const std::string input = "homeassistant/binary_sensor/brimtally_line1_pump/DigitalIn3/config";
  for (int round = 0; round < 2; ++round) {
    EXPECT_TRUE(seesJson(sensor, [](const json& j) {
      return j["state_topic"] == kLine + "/pump" &&
             j["value_template"] == "{{ value_json.AnalogIn0 }}" &&
             j["unique_id"] == "brimtally_line1_pump_AnalogIn0" && j["availability"].size() == 2 &&
             j["device"]["identifiers"][0] == "brimtally_line1_pump";
    })) << round;
    EXPECT_TRUE(seesJson(input, [](const json& j) {
      return j["value_template"].get<std::string>().find("bitwise_and(8)") != std::string::npos;
    }));
    probe->clear();
    probe->publish("homeassistant/status", "online");  // Home Assistant restarted
  }
}

TEST_F(Gateway, HomeAssistantControlsSetTheOutputs) {
  sim.control("set @01 d0 9");
  sim.control("set @01 dir 0");  // outputs all
  start();
  ASSERT_TRUE(sees(kLine + "/pump/availability", "online"))
      << slurp(dir.path("gw.log")) << broker.log();
  const auto config = [&](const std::string& component, const std::string& object) {
    const std::string topic =
        "homeassistant/" + component + "/brimtally_line1_" + object + "/config";
    const auto message = probe->waitFor(topic);
    return message ? json::parse(message->payload, nullptr, false) : json();
  };
  const json bit = config("switch", "pump/DigitalOut3");
  EXPECT_EQ(bit["state_topic"], kLine + "/pump");
  EXPECT_NE(bit["value_template"].get<std::string>().find("DigitalOut | int | bitwise_and(8)"),
            std::string::npos);
  EXPECT_EQ(bit["unique_id"], "brimtally_line1_pump_DigitalOut3");
  EXPECT_EQ(bit["availability"].size(), 2u);
  EXPECT_EQ(bit["device"]["identifiers"][0], "brimtally_line1_pump");
  const json channel = config("number", "pump/AnalogOut1");
  EXPECT_EQ(channel["value_template"], "{{ value_json.AnalogOut1 }}");
  EXPECT_EQ(channel["max"], 4095);
  EXPECT_EQ(config("number", "pump/PwmPercent")["max"], 65535);
  const json reset = config("button", "pump/ResetTotalizer");
  // As Home Assistant would use them.
  probe->publish(bit["command_topic"], bit["payload_on"]);
  probe->publish(channel["command_topic"], "700.0");
  sim.control("set @01 total 500");
  probe->publish(reset["command_topic"], reset["payload_press"]);
  for (int i = 0; i < 500 && module(0)["analog_out"][1] != 700; ++i) usleep(20'000);
  EXPECT_EQ(module(0)["digital_out"], 8);
  EXPECT_EQ(module(0)["analog_out"], json::array({9, 700}));
  for (int i = 0; i < 500 && module(0)["totalizer"] != 0; ++i) usleep(20'000);
  EXPECT_EQ(module(0)["totalizer"], 0);
  // The valve advertises what its configuration lists, and no input bit;
  // the rest is removed, in case an earlier configuration advertised it.
  for (const char* hidden :
       {"switch/brimtally_line1_valve/DigitalOut2", "number/brimtally_line1_valve/AnalogOut0",
        "button/brimtally_line1_valve/ResetTotalizer"})
    EXPECT_TRUE(sees("homeassistant/" + std::string(hidden) + "/config", "")) << hidden;
  EXPECT_EQ(config("switch", "valve/DigitalOut5")["state_topic"], kLine + "/valve");
  const json unread = config("number", "valve/AnalogOut1");
  EXPECT_EQ(unread["optimistic"], true);
  EXPECT_FALSE(unread.contains("state_topic"));
}

TEST_F(Gateway, AModuleIsOnlineOnlyWhileItAnswers) {
  // Only the pump is silent: the valve on the same line stays online.
  sim.control("fault @01 drop");
  start();
  ASSERT_TRUE(sees(kLine + "/state", "online"));
  EXPECT_TRUE(sees(kLine + "/valve/availability", "online"));
  EXPECT_TRUE(sees(kLine + "/pump/availability", "offline"));
  EXPECT_FALSE(sees(kLine + "/pump/availability", "online"));  // waits its full bound
  EXPECT_EQ(probe->count(kLine + "/pump"), 0u);
  // Said once in words, with the time it waited.
  const std::string log = slurp(dir.path("gw.log"));
  EXPECT_NE(log.find("all-io at address 01 failed: no reply within "), std::string::npos) << log;
  EXPECT_EQ(log.find("failed", log.find("failed") + 1), std::string::npos) << log;
  sim.control("fault @01 off");
  EXPECT_TRUE(sees(kLine + "/pump/availability", "online"));
  probe->clear();
  sim.control("fault drop");
  EXPECT_TRUE(sees(kLine + "/pump/availability", "offline"));
}

TEST_F(Gateway, RidesOutALostPortAndALostBroker) {
  start();
  ASSERT_TRUE(sees(kLine + "/pump/availability", "online"));
  probe->clear();
  sim.control("fault vanish");
  EXPECT_TRUE(sees(kLine + "/pump/availability", "offline"));
  sim.control("fault return");
  EXPECT_TRUE(sees(kLine + "/pump/availability", "online"));
  // Without persistence the broker forgets everything retained.
  probe.reset();
  broker.kill();
  broker.restart();
  listen();
  EXPECT_TRUE(sees(kLine + "/state", "online"));
  EXPECT_TRUE(sees(kLine + "/valve/availability", "online"));
  EXPECT_TRUE(seesJson(kLine + "/valve", [](const json& j) { return j.contains("DigitalOut"); }));
  // The poll that met the vanished device failed, whichever module's it was.
  EXPECT_TRUE(seesJson(kLine + "/diagnostics", [](const json& j) {
    const json& m = j["modules"];
    return j["broker_reconnects"] == 1 && j["port_reconnects"] == 1 && m["pump"]["polls"] > 0 &&
           m["pump"]["failed"].get<int>() + m["valve"]["failed"].get<int>() > 0;
  }));
}

TEST_F(Gateway, SaysOfflineWhenItEnds) {
  start();
  ASSERT_TRUE(sees(kLine + "/state", "online"));
  probe->clear();
  gateway->stop(SIGKILL);
  EXPECT_TRUE(sees(kLine + "/state", "offline"));  // the last will
  // Now as a service under systemd's watchdog: its notification socket.
  const int notify = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{AF_UNIX, {}};
  dir.path("notify").copy(address.sun_path, sizeof address.sun_path - 1);
  ASSERT_EQ(bind(notify, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  // Read as systemd reads: a queue of ten unread datagrams blocks the sender.
  std::string told;
  std::thread manager([&] {
    char datagram[512];
    for (ssize_t n; (n = recv(notify, datagram, sizeof datagram, 0)) > 0;) {
      told.append(datagram, n).push_back('\n');
    }
  });
  start({"NOTIFY_SOCKET=" + dir.path("notify"), "WATCHDOG_USEC=200000"});
  EXPECT_TRUE(sees(kLine + "/pump/availability", "online"));
  probe->clear();
  EXPECT_EQ(gateway->stop(SIGTERM), 0);
  EXPECT_TRUE(sees(kLine + "/state", "offline"));
  EXPECT_TRUE(sees(kLine + "/pump/availability", "offline"));
  shutdown(notify, SHUT_RD);
  manager.join();
  close(notify);
  for (const char* word : {"READY=1", "WATCHDOG=1", "STOPPING=1", "STATUS=connected to mqtt:"}) {
    EXPECT_NE(told.find(word), std::string::npos) << word << " in " << told;
  }
}

// A two-wire line behind a device server returns what is sent: with the echo
// option the gateway polls and sets it as any other line.
TEST(GatewayOnATwoWireLine, PollsAndSetsAnEchoingLineThroughTheServer) {
  simtest::TempDir dir;
  SimProcess sim{{"--no-banner", "--drift", "0", "--set", "a0=17", "--set", "do=0", "--echo"}};
  bt_test::Ser2net server{"rfc2217", sim.device(), dir.path("ser2net.pid")};
  BrokerProcess broker;
  std::ofstream(dir.path("gw.toml"))
      << "[mqtt]\nbroker = \"" << broker.url() << "\"\n[line]\nname = \"line1\"\nport = \""
      << server.url("rfc2217") << "?echo\"\n[[module]]\nname = \"pump\"\naddress = \"01\"\n"
      << "poll = [\"all-io\"]\ninterval = 0.2\n";
  MqttProbe probe(broker.url());
  probe.subscribe("brimtally/#");
  GatewayRun gateway(dir.path("gw.toml"), dir.path("gw.log"));
  const auto polled = [&](int digital_out) {
    return probe.waitFor(kLine + "/pump", [&](const std::string& p) {
      return jsonWhere(
          p, [&](const json& j) { return j["AnalogIn0"] == 17 && j["DigitalOut"] == digital_out; });
    });
  };
  const auto log = [&] { return slurp(dir.path("gw.log")); };
  EXPECT_TRUE(polled(0).has_value()) << log();
  probe.publish(kLine + "/pump/set/digital-out", "[90]");
  EXPECT_TRUE(polled(90).has_value()) << log();
  // A collision fails that poll, and the log says what it was.
  ASSERT_EQ(sim.control("collide"), "ok 1 echoes to collide");
  EXPECT_TRUE(eventually([&] {
    return log().find(
               "all-io at address 01 failed: Echo mismatch: the line returned the command "
               "changed") != std::string::npos;
  })) << log();
}

}  // namespace
