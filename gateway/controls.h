// SPDX-License-Identifier: MIT
// The module's outputs as controls: one digital output bit, one analog output
// channel, one half of the PWM, or a reset. Each has a set topic of its own,
// so a dashboard changes it knowing nothing else of the module, and a
// [[module]] names which of them discovery advertises.
#ifndef BRIMTALLY_GATEWAY_CONTROLS_H
#define BRIMTALLY_GATEWAY_CONTROLS_H

#include <string>
#include <vector>

namespace gateway {

struct Control {
  enum class Kind { kBit, kChannel, kPwm, kReset };
  Kind kind;
  std::string name;     // as after set/ in the topic: "digital-out/3"
  std::string setting;  // the whole setting it is a part of: "digital-out"
  int index;            // the bit, or the whole setting's argument; 0 for a reset
};

// Every control a module has, in the order discovery lists them.
const std::vector<Control>& controls();
// The control of that name, or null.
const Control* find_control(const std::string& name);
// What a `controls` entry names: one control, or all of a setting's
// ("digital-out", "analog-out", "pwm"); empty when it names none.
std::vector<const Control*> named_controls(const std::string& entry);

// Whether `bit` is an input by `direction` (bit 1 = input).
inline bool is_input(int direction, int bit) {
  return (direction >> bit & 1) != 0;
}

}  // namespace gateway

#endif  // BRIMTALLY_GATEWAY_CONTROLS_H
