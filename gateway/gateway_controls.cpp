// SPDX-License-Identifier: MIT
// Controls: a bit, a channel or half the PWM, set by reading what the module
// has, changing that one part and sending the whole setting; and the
// read-back that says whether the module took a setting.
#include <cstdio>

#include "gateway.h"
#include "status_words.h"

namespace gateway {

namespace {

std::string hex(int value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%02X", static_cast<unsigned>(value));
  return text;
}

}  // namespace

void Gateway::check_control(const ModuleState& module, const SetRequest& request) const {
  const Control& control = *request.control;
  if (control.kind != Control::Kind::kBit) return;
  // The configuration knows how the plant is wired; else the module says.
  int direction = module.config.direction;
  std::string source = "the configuration's direction";
  if (direction < 0 && module.values.contains("PortDirection")) {
    direction = module.values["PortDirection"].get<int>();
    source = "the direction the module last reported";
  }
  if (direction >= 0 && is_input(direction, control.index)) {
    throw Refusal("set " + control.name + ": bit " + std::to_string(control.index) +
                  " is an input by " + source + " (" + hex(direction) +
                  ", bit 1 = input); nothing sent");
  }
}

int Gateway::fill_control(ModuleState& module, SetRequest& request, std::string& why) {
  const Control& control = *request.control;
  const int32_t value = request.control_value;
  if (control.kind == Control::Kind::kPwm) {
    if (!module.pwm) {
      why =
          "the module does not report its PWM, and none was sent since the gateway started: "
          "send set/pwm with both values once, or give the module pwm = [PERIOD, PERCENT] in "
          "the configuration; nothing sent";
      return kRefusedStatus;
    }
    request.values = {module.pwm->first, module.pwm->second};
    request.values[control.index] = value;
    return BT_OK;
  }
  const bool bit = control.kind == Control::Kind::kBit;
  const toolkit::Query& query = *toolkit::find_query(bit ? "digital-out" : "all-io");
  ModuleRecord read{};
  const int16_t status = port_.query(query, module.config.address, read);
  if (status != BT_OK) {
    why =
        "reading the module's outputs failed: " + toolkit::status_words(status) + "; nothing sent";
    return status;
  }
  if (bit) {
    const int32_t mask = 1 << control.index;
    request.values = {(read.DigitalOut & ~mask) | (value != 0 ? mask : 0)};
  } else {
    request.values = {read.AnalogOut0, read.AnalogOut1};
    request.values[control.index] = value;
  }
  return BT_OK;
}

toolkit::Json Gateway::read_back(ModuleState& module, const SetRequest& request) {
  // Outputs and directions can be read back: say whether the module took
  // them. The PWM and the limits cannot.
  const std::string whole = request.entry != nullptr ? std::string(request.entry->name) : "";
  std::string by;
  if (whole == "digital-out" || whole == "direction") by = whole;
  if (whole == "analog-out" && request.control != nullptr) by = "all-io";
  if (by.empty()) return toolkit::Json();
  const toolkit::Query& query = *toolkit::find_query(by);
  ModuleRecord read{};
  if (port_.query(query, module.config.address, read) != BT_OK) return false;
  if (whole == "analog-out") {
    return read.AnalogOut0 == request.values[0] && read.AnalogOut1 == request.values[1];
  }
  return toolkit::record_fields(read, query.fields).front() == request.values[0];
}

}  // namespace gateway
