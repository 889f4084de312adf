// The control channel's JSON: the simulator's state.
#include "json_text.h"
#include "simulator.h"

namespace sim {

std::string Simulator::state_json() const {
  std::string out = "{\"device\":" + json_string(vanished_ ? std::string() : pty_.path());
  out += ",\"link\":" + json_string(opt_.link_path);
  out += ",\"vanished\":" + std::string(vanished_ ? "true" : "false");
  out += ",\"baud\":" + std::to_string(opt_.baud);
  out += ",\"faults\":" + faults_.settings_json();
  out += ",\"modules\":[";
  for (size_t i = 0; i < modules_.size(); ++i) {
    if (i) out += ',';
    // Each module's own reply faults, beside its values.
    std::string module = modules_[i].to_json();
    module.insert(module.size() - 1,
                  ",\"faults\":" + faults_.module_settings_json(modules_[i].address));
    out += module;
  }
  return out + "]}";
}

}  // namespace sim
