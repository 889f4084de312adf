// brimtally-gateway, the program, between the simulator and a private
// mosquitto: what reaches the broker, what reaches the modules, and how it
// rides out a lost port, a lost broker and its own end.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>
#include <thread>

#include "broker_process.h"
#include "mqtt_probe.h"

namespace {

using gwtest::BrokerMode;
using gwtest::BrokerProcess;
using gwtest::MqttProbe;
using nlohmann::json;
using simtest::SimProcess;

const std::string kLine = "brimtally/line1";

std::string slurp(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The gateway as a child process, its standard error kept in a file.
class GatewayRun {
 public:
  GatewayRun(const std::string& config, const std::string& log,
             const std::vector<std::string>& env = {}) {
    pid_ = fork();
    if (pid_ == 0) {
      prctl(PR_SET_PDEATHSIG, SIGKILL);
      for (const std::string& e : env) putenv(const_cast<char*>(e.c_str()));
      freopen(log.c_str(), "a", stderr);
      execl(BRIMTALLY_GATEWAY_PATH, BRIMTALLY_GATEWAY_PATH, "--config", config.c_str(), nullptr);
      _exit(127);
    }
  }
  ~GatewayRun() { stop(SIGKILL); }
  // The exit status after `sig`, or -1 when it did not end within 20 s.
  int stop(int sig) {
    if (pid_ <= 0) return -1;
    kill(pid_, sig);
    for (int i = 0; i < 2000; ++i) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return -1;
  }

 private:
  pid_t pid_ = -1;
};

bool jsonWhere(const std::string& payload, const std::function<bool(const json&)>& test) {
  const json j = json::parse(payload, nullptr, false);
  return !j.is_discarded() && test(j);
}

// Two modules on one line: "pump" polled often, "valve" only when asked, so
// any state it publishes comes from a setting or a get.
class Gateway : public ::testing::Test {
 protected:
  simtest::TempDir dir;
  SimProcess sim{{"--no-banner", "--drift", "0", "--set", "freq=0", "--set", "a0=17", "--address",
                  "01", "--address", "02", "--link", dir.path("tty"), "--log",
                  dir.path("line.log")}};
  BrokerProcess broker;
  std::unique_ptr<GatewayRun> gateway;
  std::unique_ptr<MqttProbe> probe;

  std::string config(const std::string& mqtt, const std::string& url) {
    std::ofstream(dir.path("gw.toml"))
        << "[mqtt]\nbroker = \"" << url << "\"\nhomeassistant = true\n"
        << mqtt << "\n[line]\nname = \"line1\"\nport = \"" << dir.path("tty")
        << "\"\n[[module]]\nname = \"pump\"\naddress = \"01\"\npoll = [\"all-io\"]\n"
        << "interval = 0.2\n[[module]]\nname = \"valve\"\naddress = \"02\"\n"
        << "poll = [\"digital-out\", \"direction\"]\ninterval = 3600\n";
    return dir.path("gw.toml");
  }
  void start(const std::vector<std::string>& env = {}) {
    gateway = std::make_unique<GatewayRun>(config("", broker.url()), dir.path("gw.log"), env);
    listen();
  }
  void listen() {
    probe = std::make_unique<MqttProbe>(broker.url());
    probe->subscribe("brimtally/#");
    probe->subscribe("homeassistant/#");
    probe->subscribe("replies/#");
  }
  bool sees(const std::string& topic, const std::string& payload) {
    return probe->waitFor(topic, [&](const std::string& p) { return p == payload; }).has_value();
  }
  bool seesJson(const std::string& topic, const std::function<bool(const json&)>& test) {
    return probe->waitFor(topic, [&](const std::string& p) { return jsonWhere(p, test); })
        .has_value();
  }
  json module(int index) {
    const std::string answer = sim.control("state");
    return json::parse(answer.substr(answer.find('{')))["modules"][index];
  }
  // The commands the module received that match `pattern`.
  std::string onLine(const std::string& pattern) {
    const std::regex command(pattern);
    std::string found;
    std::istringstream log(slurp(dir.path("line.log")));
    for (std::string line; std::getline(log, line);) {
      if (std::regex_search(line, command)) found += line + "\n";
    }
    return found;
  }
};

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
  auto polls = [&] {
    const std::string queries = onLine("01 QE");
    return std::count(queries.begin(), queries.end(), '\n');
  };
  for (int i = 0; i < 500 && polls() < 5; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
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

TEST_F(Gateway, SettingsReachTheModuleAndAreAnswered) {
  start();
  ASSERT_TRUE(sees(kLine + "/valve/availability", "online"));
  struct Case {
    std::string setting, payload, pointer;
    int value;
    json confirmed;
  };
  const Case cases[] = {
      {"digital-out", "[60]", "/digital_out", 60, true},
      {"pwm", R"({"args": [1000, 25], "transaction": "t-7"})", "/pwm_percent", 25, nullptr},
      {"direction", R"(["0x0F"])", "/direction", 15, true},
      {"analog-out", "[100, 2000]", "/analog_out/1", 2000, nullptr},
      {"reset-totalizer", "", "/totalizer", 0, nullptr},
  };
  for (const Case& c : cases) {
    probe->publish(kLine + "/valve/set/" + c.setting, c.payload);
    EXPECT_TRUE(seesJson(kLine + "/valve/response", [&](const json& j) {
      return j["setting"] == c.setting && j["status"] == 0 &&
             j.value("confirmed", json()) == c.confirmed &&
             (c.setting != "pwm" || j["transaction"] == "t-7");
    })) << c.setting;
    EXPECT_EQ(module(1).at(json::json_pointer(c.pointer)), c.value) << c.setting;
  }
  // Polled at once after the setting, though its interval is an hour.
  EXPECT_TRUE(seesJson(kLine + "/valve", [](const json& j) { return j["PortDirection"] == 15; }));
  probe->publishWithResponse(kLine + "/valve/set/digital-out", "[5]", "replies/me", "id-1");
  const auto reply = probe->waitFor("replies/me");
  ASSERT_TRUE(reply.has_value());
  EXPECT_EQ(reply->correlation, "id-1");
  EXPECT_FALSE(reply->retained);
  EXPECT_FALSE(probe->waitFor(kLine + "/valve/response")->retained);
  EXPECT_TRUE(jsonWhere(reply->payload, [](const json& j) { return j["confirmed"] == true; }));
}

TEST_F(Gateway, RefusedRequestsAreAnsweredAndPutNothingOnTheLine) {
  start();
  ASSERT_TRUE(sees(kLine + "/valve/availability", "online"));
  struct Case {
    std::string module, setting, payload;
    bool retain;
    std::string says;
  };
  const Case cases[] = {
      {"valve", "digital-out", "[60", false, "not JSON"},
      {"valve", "digital-out", "[1, 2]", false, "takes 1"},
      {"valve", "digital-out", "[256]", false, "out of range"},
      {"valve", "digital-out", "[-1]", false, "non-negative"},
      {"valve", "pwm", R"({"arg": [1, 2]})", false, "unknown member"},
      {"valve", "frobnicate", "[]", false, "unknown setting"},
      {"ghost", "digital-out", "[1]", false, "no module"},
      {"valve", "digital-out", "[9]", true, "retained"},
      {"valve", "print", "[\"" + std::string(5000, 'x') + "\"]", false, "4096"},
  };
  for (const Case& c : cases) {
    probe->publish(kLine + "/" + c.module + "/set/" + c.setting, c.payload, c.retain);
    EXPECT_TRUE(seesJson(kLine + "/" + c.module + "/response", [&](const json& j) {
      return j["setting"] == c.setting && j["status"] == 400 &&
             j["text"].get<std::string>().find(c.says) != std::string::npos;
    })) << c.says;
  }
  EXPECT_EQ(onLine(R"(in +#.. \S+ S)"), "");
}

TEST_F(Gateway, AModuleIsOnlineOnlyWhileItAnswers) {
  sim.control("fault drop");
  start();
  ASSERT_TRUE(sees(kLine + "/state", "online"));
  EXPECT_TRUE(sees(kLine + "/pump/availability", "offline"));
  EXPECT_FALSE(sees(kLine + "/pump/availability", "online"));  // waits its full bound
  EXPECT_EQ(probe->count(kLine + "/pump"), 0u);
  sim.control("fault off");
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
  start({"NOTIFY_SOCKET=" + dir.path("notify"), "WATCHDOG_USEC=200000"});
  ASSERT_TRUE(sees(kLine + "/pump/availability", "online"));
  probe->clear();
  EXPECT_EQ(gateway->stop(SIGTERM), 0);
  EXPECT_TRUE(sees(kLine + "/state", "offline"));
  EXPECT_TRUE(sees(kLine + "/pump/availability", "offline"));
  std::string told;
  char datagram[512];
  for (ssize_t n; (n = recv(notify, datagram, sizeof datagram, MSG_DONTWAIT)) > 0;) {
    told.append(datagram, n).push_back('\n');
  }
  close(notify);
  for (const char* word : {"READY=1", "WATCHDOG=1", "STOPPING=1"}) {
    EXPECT_NE(told.find(word), std::string::npos) << word << " in " << told;
  }
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
    MqttProbe probe(broker.url(), tls ? "" : broker.user(), tls ? "" : broker.password(),
                    broker.caFile());
    probe.subscribe(kLine + "/state");
    EXPECT_EQ(probe.waitFor(kLine + "/state").has_value(), c.online) << c.password;
    const std::string log = slurp(dir.path("gw.log"));
    EXPECT_TRUE(c.password.empty() || log.find(c.password) == std::string::npos) << log;
    if (!c.online) {
      // Refused and retried, but said once.
      EXPECT_NE(log.find("refused the login of user \"gateway\""), std::string::npos) << log;
      EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
    }
  }
}

TEST(GatewayConfig, EachFaultNamesItsKeyAndLine) {
  simtest::TempDir dir;
  const std::string good =
      "[line]\nname = \"l1\"\nport = \"/dev/ttyUSB0\"\n[[module]]\nname = \"pump\"\n"
      "address = \"01\"\npoll = [\"all-io\"]\n";
  const std::pair<std::string, std::string> cases[] = {
      {"", ""},
      {"[mqtt]\nbrokr = \"x\"\n", ":2: mqtt.brokr: is not a known key"},
      {"[mqtt]\nbroker = \"http://h\"\n", ":2: mqtt.broker: must be mqtt://"},
      {"[mqtt]\nkeepalive = 0\n", ":2: mqtt.keepalive: must be an integer from 5"},
      {"[mqtt]\nbase_topic = \"a/+/b\"\n", ":2: mqtt.base_topic"},
      {"[[module]]\nname = \"state\"\naddress = \"02\"\npoll = [\"key\"]\n",
       ":2: module[0].name: \"state\" is a topic"},
      {"[[module]]\nname = \"pump\"\naddress = \"02\"\npoll = [\"key\"]\n",
       ":9: module[1].name: \"pump\" is used twice"},
      {"[[module]]\nname = \"a b\"\naddress = \"0 1\"\npoll = [\"all-io\", \"temperature\"]\n"
       "interval = -1\n",
       ":4: module[0].poll: has an unknown query"},
      {"[[module]]\nname = \"v\"\naddress = \"01\"\npoll = [\"key\"]\n",
       ":10: module[1].address: \"01\" is used twice"},
      {"[[module]]\nname = \"v\"\naddress = \"$1\"\npoll = [\"key\"]\ninterval = -1\n",
       ":5: module[0].interval: must be a number from 0 to 86400"},
      {"[[module]]\nname = \"v\"\naddress = \"01234567890123456789\"\npoll = [\"key\"]\n",
       ":3: module[0].address: must be 1 to 19"},
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
}

}  // namespace
