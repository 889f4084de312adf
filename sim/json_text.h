#pragma once
#include <string>
#include <string_view>

namespace sim {

// `text` as a quoted JSON string; bytes outside printable ASCII become \u00XX.
std::string jsonString(std::string_view text);

}  // namespace sim
