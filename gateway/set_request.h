// SPDX-License-Identifier: MIT
// A setting asked for over MQTT: the payload read and checked as the tool
// checks its command line, and the response that answers it.
#ifndef BRIMTALLY_GATEWAY_SET_REQUEST_H
#define BRIMTALLY_GATEWAY_SET_REQUEST_H

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "controls.h"
#include "record_fields.h"
#include "settings.h"

namespace gateway {

using toolkit::Json;

// The status of a request refused before anything went on the line; the
// library's own codes are all below it.
inline constexpr int kRefusedStatus = 400;

struct SetRequest {
  std::string setting;                      // the tool's setting name, as in the topic
  Json args = Json::array();                // as given, for the response
  Json transaction;                         // null when not given
  const toolkit::Setting* entry = nullptr;  // null for print
  std::vector<int32_t> values;
  std::string text;  // print's text
  // A control's request: the one value it sets; `values` are filled in on
  // the line, from what the module has.
  const Control* control = nullptr;
  int32_t control_value = 0;
  // MQTT 5: where the requester also wants the response, and its tag.
  std::string response_topic;
  std::string correlation;
};

class Refusal : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The request on `set/<setting>` for a module with an address of that length.
// Throws Refusal naming what is wrong; `request` keeps what was read so far,
// so the refusal's response still carries the args and transaction.
void parse_set(const std::string& setting, const std::string& payload, size_t address_length,
               SetRequest& request);

// The request on `set/<control>`: the payload is the one value, as a word
// (ON, OFF for a bit), a number, or the JSON forms parse_set takes with one
// argument.
void parse_control(const Control& control, const std::string& payload, SetRequest& request);

// The response as JSON text; `confirmed` only where a query read the
// setting back.
std::string response(const SetRequest& request, int status, const std::string& text,
                     const Json& confirmed = Json());

}  // namespace gateway

#endif  // BRIMTALLY_GATEWAY_SET_REQUEST_H
