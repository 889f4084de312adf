// SPDX-License-Identifier: MIT
// The fields of a ModuleRecord by their names, as JSON values: numbers for the
// numeric fields, text for KeyText and for SerialNumber (16 upper-case
// hexadecimal digits, in every output format).
#ifndef BRIMTALLY_TOOLKIT_RECORD_FIELDS_H
#define BRIMTALLY_TOOLKIT_RECORD_FIELDS_H

#include <nlohmann/json.hpp>
#include <string_view>
#include <vector>

#include "brimtally.h"

namespace toolkit {

using Json = nlohmann::ordered_json;

// The named fields of the record, as one object in the order given.
Json record_fields(const ModuleRecord& record, const std::vector<std::string_view>& names);

}  // namespace toolkit

#endif  // BRIMTALLY_TOOLKIT_RECORD_FIELDS_H
