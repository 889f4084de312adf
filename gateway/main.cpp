// SPDX-License-Identifier: MIT
// brimtally-gateway: one serial line's modules published to an MQTT broker.
#include <signal.h>

#include <CLI/CLI.hpp>
#include <fstream>
#include <iostream>
#include <sstream>
#include <thread>

#include "broker_address.h"
#include "gateway.h"
#include "line_lock.h"
#include "session.h"
#include "standard_streams.h"

namespace {

// Another gateway serves the line or its port already.
constexpr int kExitLineServed = 3;

// Stop signals are taken by one thread and posted to the main loop, so a
// stop never lands in the middle of a transaction or a publish.
void watch_stop_signals(gateway::Mailbox& mailbox) {
  sigset_t stops;
  sigemptyset(&stops);
  sigaddset(&stops, SIGTERM);
  sigaddset(&stops, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stops, nullptr);
  std::thread([stops, &mailbox] {
    int signal = 0;
    sigwait(&stops, &signal);
    mailbox.post({.kind = gateway::Letter::Kind::kStop});
  }).detach();
}

bool read_password(const std::string& path, std::string& password) {
  std::ifstream in(path);
  if (!in) return false;
  std::getline(in, password);
  if (!password.empty() && password.back() == '\r') password.pop_back();
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  // The log is standard error; a closed one must not become the port.
  standard_streams::guard();
  CLI::App app{
      "brimtally-gateway: polls the Brimtally modules of one serial line and publishes them "
      "to an MQTT broker; settings come back over MQTT.\n"
      "Topics under <base_topic>/<line>: state, diagnostics, <module> (JSON state), "
      "<module>/availability, <module>/set/<setting>, <module>/get, <module>/response.",
      "brimtally-gateway"};
  std::string config_path;
  bool check_only = false;
  app.add_option("--config", config_path, "the TOML configuration file")->required();
  app.add_flag("--check-config", check_only, "check the file, print each fault, and exit");
  app.set_version_flag("--version", "brimtally-gateway " BRIMTALLY_TOOL_VERSION);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    // --help and --version end here with 0; a bad command line with 2, as a
    // bad configuration does.
    return app.exit(e) == 0 ? 0 : 2;
  }

  const gateway::LoadedConfig loaded = gateway::load_config(config_path);
  for (const gateway::ConfigFault& fault : loaded.faults) {
    std::cerr << config_path << (fault.line > 0 ? ":" + std::to_string(fault.line) : "") << ": "
              << (fault.key.empty() ? "" : fault.key + ": ") << fault.what << "\n";
  }
  if (!loaded.faults.empty()) return 2;
  if (check_only) {
    std::cout << config_path << ": ok (" << loaded.config.modules.size() << " module(s))\n";
    return 0;
  }
  std::string password;
  const gateway::MqttConfig& mqtt = loaded.config.mqtt;
  if (!mqtt.password_file.empty() && !read_password(mqtt.password_file, password)) {
    std::cerr << "brimtally-gateway: " << mqtt.password_file << ": cannot be read\n";
    return 1;
  }
  // A second gateway for a line already served must leave the broker and
  // the port alone: no will, no state, no availability. A line is its
  // topic on its broker; a port is one device whichever name reaches it.
  const gateway::Config& config = loaded.config;
  const std::string line = config.mqtt.base_topic + "/" + config.line.name;
  const std::string broker = gateway::paho_uri(gateway::parse_broker(config.mqtt.broker));
  gateway::LineLock lock;
  for (const auto& [key, what] :
       {std::pair{"line:" + broker + "/" + line, "the line " + line + " on " + config.mqtt.broker},
        {"port:" + gateway::port_identity(toolkit::choose_port(config.line.port).device),
         "the port " + config.line.port}}) {
    const std::string taken = lock.take(key, what);
    if (!taken.empty()) {
      std::cerr << "brimtally-gateway: " << taken << "\n";
      return kExitLineServed;
    }
  }
  signal(SIGPIPE, SIG_IGN);
  gateway::Mailbox mailbox;
  watch_stop_signals(mailbox);
  gateway::Gateway gw(loaded.config, password, mailbox);
  return gw.run();
}
