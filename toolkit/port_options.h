// SPDX-License-Identifier: MIT
// The options a port name may carry after "?" ("/dev/ttyUSB0?echo&pause=5"):
// the library reads them; a tool names the device without them and asks the
// library whether they hold, so a bad one is named before anything opens.
#ifndef BRIMTALLY_TOOLKIT_PORT_OPTIONS_H
#define BRIMTALLY_TOOLKIT_PORT_OPTIONS_H

#include <string>

namespace toolkit {

// The device or server a port name stands for: the name without its options.
std::string device_part(const std::string& name);

// Why the library would refuse the name's options ("unknown port option
// \"ecko\" ..."), or "" when they hold.
std::string port_options_problem(const std::string& name);

}  // namespace toolkit

#endif  // BRIMTALLY_TOOLKIT_PORT_OPTIONS_H
