// SPDX-License-Identifier: MIT
#include "controls.h"

namespace gateway {

const std::vector<Control>& controls() {
  static const std::vector<Control> table = [] {
    std::vector<Control> all;
    for (int bit = 0; bit < 8; ++bit) {
      all.push_back(
          {Control::Kind::kBit, "digital-out/" + std::to_string(bit), "digital-out", bit});
    }
    for (int channel = 0; channel < 2; ++channel) {
      all.push_back({Control::Kind::kChannel, "analog-out/" + std::to_string(channel), "analog-out",
                     channel});
    }
    all.push_back({Control::Kind::kPwm, "pwm/period", "pwm", 0});
    all.push_back({Control::Kind::kPwm, "pwm/percent", "pwm", 1});
    all.push_back({Control::Kind::kReset, "reset-min-max", "reset-min-max", 0});
    all.push_back({Control::Kind::kReset, "reset-totalizer", "reset-totalizer", 0});
    return all;
  }();
  return table;
}

const Control* find_control(const std::string& name) {
  for (const Control& control : controls()) {
    if (control.name == name) return &control;
  }
  return nullptr;
}

std::vector<const Control*> named_controls(const std::string& entry) {
  std::vector<const Control*> named;
  for (const Control& control : controls()) {
    if (control.name == entry || control.setting == entry) named.push_back(&control);
  }
  return named;
}

}  // namespace gateway
