// SPDX-License-Identifier: MIT
// Home Assistant's view of the controls: a switch per digital output bit, a
// number per analog output channel and PWM half, a button per reset, each
// publishing to the control's own set topic.
#include <algorithm>

#include "controls.h"
#include "discovery.h"
#include "settings.h"

namespace gateway {

namespace {

// The largest value the whole setting's field carries for that argument.
int largest(const Control& control) {
  const toolkit::Setting& setting = *toolkit::find_setting(control.setting);
  return (1 << (4 * setting.arguments[control.index].digits)) - 1;
}

struct Shown {
  std::string component, object, name;
};

Shown shown(const Control& control) {
  const std::string n = std::to_string(control.index);
  switch (control.kind) {
    case Control::Kind::kBit:
      return {"switch", "DigitalOut" + n, "Digital output " + n};
    case Control::Kind::kChannel:
      return {"number", "AnalogOut" + n, "Analog output " + n};
    case Control::Kind::kPwm:
      return control.index == 0 ? Shown{"number", "PwmPeriod", "PWM period"}
                                : Shown{"number", "PwmPercent", "PWM percent"};
    case Control::Kind::kReset:
      break;
  }
  return control.setting == "reset-min-max"
             ? Shown{"button", "ResetMinMax", "Reset minimum and maximum"}
             : Shown{"button", "ResetTotalizer", "Reset totalizer"};
}

}  // namespace

std::vector<DiscoveryMessage> control_messages(const DiscoveryDevice& device,
                                               const ModuleConfig& module,
                                               const std::vector<std::string>& fields) {
  auto polled = [&](const std::string& f) {
    return std::find(fields.begin(), fields.end(), f) != fields.end();
  };
  std::vector<DiscoveryMessage> out;
  for (const Control& control : controls()) {
    const Shown s = shown(control);
    const bool input = control.kind == Control::Kind::kBit && module.direction >= 0 &&
                       is_input(module.direction, control.index);
    const bool listed = std::count(module.controls.begin(), module.controls.end(), control.name);
    if (!listed || input) {
      out.push_back({device.topic(s.component, s.object), toolkit::Json()});
      continue;
    }
    toolkit::Json config = device.entity(s.object, s.name);
    config["command_topic"] = device.state + "/set/" + control.name;
    // Where the state shows the output, Home Assistant follows the module;
    // else it shows what it last sent.
    const std::string field = control.kind == Control::Kind::kBit ? "DigitalOut" : s.object;
    const bool known = control.kind != Control::Kind::kReset && polled(field);
    if (known) config["state_topic"] = device.state;
    if (control.kind == Control::Kind::kBit) {
      config["payload_on"] = "ON";
      config["payload_off"] = "OFF";
      if (known) {
        config["state_on"] = "ON";
        config["state_off"] = "OFF";
        config["value_template"] = "{{ 'ON' if value_json.DigitalOut | int | bitwise_and(" +
                                   std::to_string(1 << control.index) + ") else 'OFF' }}";
      }
    } else if (control.kind == Control::Kind::kReset) {
      config["payload_press"] = "[]";
    } else {
      config["min"] = 0;
      config["max"] = largest(control);
      config["step"] = 1;
      config["mode"] = "box";
      if (known) config["value_template"] = "{{ value_json." + field + " }}";
    }
    if (!known && control.kind != Control::Kind::kReset) config["optimistic"] = true;
    out.push_back({device.topic(s.component, s.object), config});
  }
  return out;
}

}  // namespace gateway
