// SPDX-License-Identifier: MIT
#include "gateway_config.h"

#include <toml++/toml.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <set>

#include "broker_address.h"
#include "controls.h"
#include "exit_codes.h"
#include "module_address.h"
#include "queries.h"
#include "session.h"
#include "topic_grammar.h"

namespace gateway {

namespace {

// Walks one table: each read marks its key as known, and finish() reports
// the keys nobody asked for.
class TableReader {
 public:
  TableReader(const toml::table& table, std::string prefix, std::vector<ConfigFault>& faults)
      : table_(table), prefix_(std::move(prefix)), faults_(faults) {}

  void fault(const std::string& key, const std::string& what) {
    const toml::node* node = table_.get(key);
    const int line = static_cast<int>((node ? node->source() : table_.source()).begin.line);
    faults_.push_back({prefix_ + key, line, what});
  }

  void text(const std::string& key, std::string& out, bool required) {
    if (!present(key, required)) return;
    if (auto v = table_[key].value<std::string>()) {
      out = *v;
    } else {
      fault(key, "must be a string");
    }
  }

  void integer(const std::string& key, int& out, int low, int high) {
    if (!present(key, false)) return;
    auto v = table_[key].as_integer();
    if (v == nullptr || v->get() < low || v->get() > high) {
      fault(key, "must be an integer from " + std::to_string(low) + " to " + std::to_string(high));
    } else {
      out = static_cast<int>(v->get());
    }
  }

  void number(const std::string& key, double& out, double low, double high) {
    if (!present(key, false)) return;
    auto v = table_[key].value<double>();  // an integer reads as a number too
    if (!v || !(*v >= low && *v <= high)) {
      fault(key, "must be a number from " + trimmed(low) + " to " + trimmed(high));
    } else {
      out = *v;
    }
  }

  void boolean(const std::string& key, bool& out) {
    if (!present(key, false)) return;
    if (auto v = table_[key].value<bool>()) {
      out = *v;
    } else {
      fault(key, "must be true or false");
    }
  }

  const toml::array* array(const std::string& key, bool required = true) {
    if (!present(key, required)) return nullptr;
    if (const toml::array* a = table_[key].as_array()) return a;
    fault(key, "must be an array");
    return nullptr;
  }

  void allow(const std::string& key) { known_.insert(key); }

  void finish() {
    for (const auto& [key, node] : table_) {
      if (!known_.count(std::string(key.str()))) {
        faults_.push_back({prefix_ + std::string(key.str()),
                           static_cast<int>(node.source().begin.line), "is not a known key"});
      }
    }
  }

 private:
  bool present(const std::string& key, bool required) {
    known_.insert(key);
    if (table_.contains(key)) return true;
    if (required) {
      faults_.push_back(
          {prefix_ + key, static_cast<int>(table_.source().begin.line), "is missing"});
    }
    return false;
  }

  static std::string trimmed(double v) {
    std::string s = std::to_string(v);
    s.erase(s.find_last_not_of('0') + 1);
    if (s.back() == '.') s.pop_back();
    return s;
  }

  const toml::table& table_;
  std::string prefix_;
  std::vector<ConfigFault>& faults_;
  std::set<std::string> known_;
};

bool valid_address(const std::string& address) {
  if (address.empty() || address.size() > 19) return false;
  return std::all_of(address.begin(), address.end(),
                     [](char c) { return c > ' ' && c <= '~' && c != '#' && c != '$'; });
}

// A file the gateway will read: named in the fault when it cannot be.
void readable(TableReader& r, const std::string& key, const std::string& path) {
  if (!path.empty() && access(path.c_str(), R_OK) != 0) {
    r.fault(key, "cannot be read: " + path + " (" + std::strerror(errno) + ")");
  }
}

void read_mqtt(TableReader& r, MqttConfig& mqtt) {
  r.text("broker", mqtt.broker, false);
  const BrokerAddress broker = parse_broker(mqtt.broker);
  const bool tls = broker.tls;
  if (!broker.fault.empty()) r.fault("broker", "\"" + mqtt.broker + "\" " + broker.fault);
  r.text("base_topic", mqtt.base_topic, false);
  if (!valid_base_topic(mqtt.base_topic)) {
    r.fault("base_topic", "must be topic levels without '+', '#' or empty levels");
  }
  r.integer("keepalive", mqtt.keepalive, 5, 65535);
  r.number("refresh", mqtt.refresh, 0, 86400);
  r.boolean("homeassistant", mqtt.homeassistant);
  r.text("username", mqtt.username, false);
  r.text("password_file", mqtt.password_file, false);
  r.text("ca_file", mqtt.ca_file, false);
  r.text("cert_file", mqtt.cert_file, false);
  r.text("key_file", mqtt.key_file, false);
  r.integer("session_expiry", mqtt.session_expiry, 0, 86400);
  if (!mqtt.password_file.empty() && mqtt.username.empty()) {
    r.fault("password_file", "is given without a username");
  }
  readable(r, "password_file", mqtt.password_file);
  for (const auto& [key, path] : {std::pair{"ca_file", mqtt.ca_file},
                                  {"cert_file", mqtt.cert_file},
                                  {"key_file", mqtt.key_file}}) {
    if (!path.empty() && !tls) r.fault(key, "is used only with an mqtts:// broker");
    readable(r, key, path);
  }
  if (mqtt.cert_file.empty() != mqtt.key_file.empty()) {
    r.fault(mqtt.cert_file.empty() ? "key_file" : "cert_file",
            "needs its partner: give both cert_file and key_file");
  }
}

void read_line(TableReader& r, LineConfig& line) {
  r.text("name", line.name, true);
  if (!line.name.empty() && !valid_segment(line.name)) {
    r.fault("name", "must be letters, digits, '-' and '_'");
  }
  r.text("port", line.port, true);
  if (!line.port.empty()) {
    try {
      toolkit::choose_port(line.port);
    } catch (const toolkit::Failure& failure) {
      // The tool's text names its option; here the key says where.
      std::string why = failure.what();
      const std::string option = "--port " + line.port + ": ";
      if (why.rfind(option, 0) == 0) why.erase(0, option.size());
      r.fault("port", "\"" + line.port + "\": " + why);
    }
  }
  int baud = static_cast<int>(line.baud);
  r.integer("baud", baud, 0, 4000000);
  line.baud = static_cast<unsigned>(baud);
  if (std::find(std::begin(toolkit::kBaudRates), std::end(toolkit::kBaudRates), line.baud) ==
      std::end(toolkit::kBaudRates)) {
    r.fault("baud", "must be 300, 1200, 2400, 9600, 19200 or 57600");
  }
}

// Which controls discovery advertises; all of them unless the key says.
void read_controls(TableReader& r, ModuleConfig& module) {
  const toml::array* listed = r.array("controls", false);
  if (listed == nullptr) {
    for (const Control& control : controls()) module.controls.push_back(control.name);
    return;
  }
  for (const toml::node& entry : *listed) {
    const auto name = entry.value<std::string>();
    const std::vector<const Control*> named = named_controls(name ? *name : "");
    if (named.empty()) {
      r.fault("controls",
              (name ? "has the unknown control \"" + *name + "\"" : "holds a non-string") +
                  "; controls: digital-out, digital-out/0 to digital-out/7, analog-out, "
                  "analog-out/0, analog-out/1, pwm, pwm/period, pwm/percent, "
                  "reset-min-max, reset-totalizer");
    }
    for (const Control* control : named) {
      if (!std::count(module.controls.begin(), module.controls.end(), control->name))
        module.controls.push_back(control->name);
    }
  }
}

void read_module(TableReader& r, ModuleConfig& module) {
  r.text("name", module.name, true);
  if (!module.name.empty() && !valid_segment(module.name)) {
    r.fault("name", "must be letters, digits, '-' and '_'");
  } else if (module.name == "state" || module.name == "diagnostics") {
    r.fault("name", "\"" + module.name + "\" is a topic of the line itself");
  }
  r.text("address", module.address, true);
  // As the tool takes --address: one hexadecimal digit is the address 0X.
  module.address = toolkit::normalize_address(module.address);
  if (!module.address.empty() && !valid_address(module.address)) {
    r.fault("address", "must be 1 to 19 printable characters without blank, '#' or '$'");
  }
  if (const toml::array* poll = r.array("poll")) {
    for (const toml::node& entry : *poll) {
      const auto name = entry.value<std::string>();
      if (!name || toolkit::find_query(*name) == nullptr) {
        std::string known;
        for (const std::string& query : toolkit::query_names()) known += " " + query;
        r.fault("poll", (name ? "has the unknown query \"" + *name + "\"" : "holds a non-string") +
                            "; queries:" + known);
      } else if (std::count(module.poll.begin(), module.poll.end(), *name)) {
        r.fault("poll", "names " + *name + " twice");
      } else {
        module.poll.push_back(*name);
      }
    }
    if (poll->empty()) r.fault("poll", "names no query");
  }
  r.number("interval", module.interval, 0, 86400);
  r.integer("direction", module.direction, 0, 255);
  read_controls(r, module);
  if (const toml::array* pwm = r.array("pwm", false)) {
    const auto part = [&](size_t i) {
      return i < pwm->size() ? (*pwm)[i].value<int64_t>() : std::nullopt;
    };
    if (pwm->size() != 2 || !part(0) || !part(1) || *part(0) < 0 || *part(0) > 65535 ||
        *part(1) < 0 || *part(1) > 65535) {
      r.fault("pwm", "must be [PERIOD, PERCENT], each an integer from 0 to 65535");
    } else {
      module.pwm = {static_cast<int32_t>(*part(0)), static_cast<int32_t>(*part(1))};
    }
  }
}

}  // namespace

bool valid_segment(const std::string& name) {
  return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_';
  });
}

LoadedConfig load_config(const std::string& path) {
  LoadedConfig loaded;
  std::vector<ConfigFault>& faults = loaded.faults;
  // toml++ reads a directory as an empty file: say what it is instead.
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) {
    faults.push_back({"", 0, "is a directory, not a configuration file"});
    return loaded;
  }
  if (access(path.c_str(), R_OK) != 0) {
    faults.push_back({"", 0, std::string("cannot be read (") + std::strerror(errno) + ")"});
    return loaded;
  }
  toml::table root;
  try {
    root = toml::parse_file(path);
  } catch (const toml::parse_error& e) {
    faults.push_back({"", static_cast<int>(e.source().begin.line), std::string(e.description())});
    return loaded;
  }
  TableReader top(root, "", faults);
  auto section = [&](const std::string& key) -> const toml::table* {
    if (!root.contains(key)) return nullptr;
    if (const toml::table* t = root[key].as_table()) return t;
    top.fault(key, "must be a table");
    return nullptr;
  };
  if (const toml::table* mqtt = section("mqtt")) {
    TableReader r(*mqtt, "mqtt.", faults);
    read_mqtt(r, loaded.config.mqtt);
    r.finish();
  }
  if (const toml::table* line = section("line")) {
    TableReader r(*line, "line.", faults);
    read_line(r, loaded.config.line);
    r.finish();
  } else {
    top.fault("line", "is missing");
  }
  if (const toml::array* modules = top.array("module")) {
    std::set<std::string> names{loaded.config.line.name}, addresses;
    for (size_t i = 0; i < modules->size(); ++i) {
      const toml::table* table = (*modules)[i].as_table();
      if (table == nullptr) {
        top.fault("module", "must be [[module]] tables");
        continue;
      }
      TableReader r(*table, "module[" + std::to_string(i) + "].", faults);
      ModuleConfig module;
      read_module(r, module);
      if (!module.name.empty() && !names.insert(module.name).second) {
        r.fault("name", "\"" + module.name + "\" is used twice");
      }
      if (!module.address.empty() && !addresses.insert(module.address).second) {
        r.fault("address", "\"" + module.address + "\" is used twice on the line");
      }
      r.finish();
      loaded.config.modules.push_back(module);
    }
  }
  top.allow("mqtt");
  top.allow("line");
  top.finish();
  std::sort(faults.begin(), faults.end(),
            [](const ConfigFault& a, const ConfigFault& b) { return a.line < b.line; });
  return loaded;
}

}  // namespace gateway
