// SPDX-License-Identifier: MIT
// Module addresses as the tool and the gateway take them. Modules are
// addressed by text of up to 19 characters; scan counts them in two
// hexadecimal digits, so one digit alone means the two-digit address.
#ifndef BRIMTALLY_TOOLKIT_MODULE_ADDRESS_H
#define BRIMTALLY_TOOLKIT_MODULE_ADDRESS_H

#include <string>

namespace toolkit {

// "1" -> "01", "a" -> "0A"; every other address as it is.
std::string normalize_address(const std::string& address);

// Why `address` can be no module's address: "" when it can be one. The
// module reads printable characters up to a blank, and "#" and "$" start
// lines; a CR or LF would end the command line early.
std::string address_fault(const std::string& address);

}  // namespace toolkit

#endif  // BRIMTALLY_TOOLKIT_MODULE_ADDRESS_H
