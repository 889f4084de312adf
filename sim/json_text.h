// Quoting of text for the JSON the control channel answers with.
#ifndef BRIMTALLY_SIM_JSON_TEXT_H
#define BRIMTALLY_SIM_JSON_TEXT_H

#include <string>
#include <string_view>

namespace sim {

// `text` as a quoted JSON string; bytes outside printable ASCII become \u00XX.
std::string json_string(std::string_view text);

}  // namespace sim

#endif  // BRIMTALLY_SIM_JSON_TEXT_H
