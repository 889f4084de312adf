// SPDX-License-Identifier: MIT
#include "module_address.h"

#include <cctype>

#include "brimtally.h"

namespace toolkit {

std::string normalize_address(const std::string& address) {
  if (address.size() != 1 || !std::isxdigit(static_cast<unsigned char>(address[0]))) {
    return address;
  }
  return "0" + std::string(1, static_cast<char>(std::toupper(address[0])));
}

std::string address_fault(const std::string& address) {
  if (address.size() >= BT_ADDRESS_LEN) return "it is longer than 19 characters";
  for (char c : address) {
    if (c <= ' ' || c > '~' || c == '#' || c == '$') {
      return "it may hold printable ASCII only, without blanks, '#' or '$'";
    }
  }
  return "";
}

}  // namespace toolkit
