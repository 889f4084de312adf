// SPDX-License-Identifier: MIT
#include "port_options.h"

#include "brimtally.h"

namespace toolkit {

std::string device_part(const std::string& name) {
  return name.substr(0, name.find('?'));
}

std::string port_options_problem(const std::string& name) {
  if (name.find('?') == std::string::npos) return "";
  char why[256] = "";
  if (btPortCheckName(name.c_str(), why, sizeof why) == BT_OK) return "";
  return why;
}

}  // namespace toolkit
