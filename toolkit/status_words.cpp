// SPDX-License-Identifier: MIT
#include "status_words.h"

#include "brimtally.h"

namespace toolkit {

std::string status_words(int16_t status) {
  switch (status) {
    case BT_OK:
      return "success";
    case BT_NO_REPLY:
      return "no reply";
    case BT_NOT_A_REPLY:
      return "a line that is not a reply";
    case BT_BAD_CHECKSUM:
      return "a wrong checksum in the reply";
    case BT_WRONG_ADDRESS:
      return "a reply from another module's address";
    case BT_MALFORMED:
      return "a malformed field in the reply";
    case BT_BAD_KEY:
      return "a character in the reply that is no key";
    case BT_WRONG_VERSION:
      return "the library refused the record's version";
    case BT_NO_PORT:
      return "no port is open";
    case BT_TOO_LONG:
      return "the command line would be too long";
    case BT_READ_ERROR:
      return "the port reported an error while reading";
    default:
      return "status " + std::to_string(status);
  }
}

std::string echo_fault(bool* collision) {
  char text[64] = "";
  const int32_t driver = btPortStatus(text, sizeof text);
  if (collision != nullptr) *collision = driver == BT_DRIVER_ECHO_MISMATCH;
  if (driver == BT_DRIVER_ECHO_MISMATCH) {
    return std::string(text) +
           ": the line returned the command changed (another talker or noise); check that no "
           "other master drives the line, and its wiring and termination";
  }
  if (driver == BT_DRIVER_NO_ECHO) {
    return std::string(text) +
           ": the line does not return what is sent; drop the echo option from the port";
  }
  return "";
}

}  // namespace toolkit
