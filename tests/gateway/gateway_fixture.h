// SPDX-License-Identifier: MIT
// The gateway's tests share this: the gateway as a child process, and a
// line of two simulated modules with a private mosquitto.
#pragma once
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
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

namespace gwtest {

using nlohmann::json;
using simtest::SimProcess;

inline const std::string kLine = "brimtally/line1";

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
  // The exit status after `sig` (0: none, just wait), or -1 when it did not
  // end within 20 s.
  int stop(int sig) {
    if (pid_ <= 0) return -1;
    if (sig != 0) kill(pid_, sig);
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

  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
};

// Whether `test` holds within `seconds`, asked every 10 ms.
template <typename Test>
bool eventually(Test test, int seconds = 10) {
  for (int i = 0; i < seconds * 100 && !test(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return test();
}

inline bool jsonWhere(const std::string& payload, const std::function<bool(const json&)>& test) {
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
        << "poll = [\"digital-out\", \"direction\"]\ninterval = 3600\ndirection = 0x0F\n"
        << "controls = [\"digital-out\", \"analog-out/1\", \"pwm\"]\n";
    return dir.path("gw.toml");
  }
  void start(const std::vector<std::string>& env = {}) {
    gateway = std::make_unique<GatewayRun>(config("", broker.url()), dir.path("gw.log"), env);
    listen();
  }
  // The gateway's client id on this host.
  static std::string clientId() {
    char host[256] = "";
    gethostname(host, sizeof host - 1);
    return "brimtally-gateway-line1-" + std::string(host);
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
  // How many messages on `topic` so far pass `test`.
  size_t received(const std::string& topic, const std::function<bool(const json&)>& test) {
    size_t n = 0;
    for (const auto& m : probe->all(topic)) n += jsonWhere(m.payload, test);
    return n;
  }
  bool seesJson(const std::string& topic, const std::function<bool(const json&)>& test) {
    return probe->waitFor(topic, [&](const std::string& p) { return jsonWhere(p, test); })
        .has_value();
  }
  json module(int index) {
    const std::string answer = sim.control("state");
    return json::parse(answer.substr(answer.find('{')))["modules"][index];
  }
  // When the module received each command that matches `pattern`, in s.
  std::vector<double> timesOnLine(const std::string& pattern) {
    std::vector<double> times;
    std::istringstream lines(onLine(pattern));
    for (std::string line; std::getline(lines, line);) times.push_back(std::stod(line));
    return times;
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

}  // namespace gwtest
