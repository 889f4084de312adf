// SPDX-License-Identifier: MIT
#include "record_fields.h"

#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>

namespace toolkit {

namespace {

struct NumberField {
  std::string_view name;
  long (*value)(const ModuleRecord&);
};

#define BT_FIELD(member)                                                       \
  {                                                                            \
#member, [](const ModuleRecord& r) { return static_cast<long>(r.member); } \
  }

const NumberField kNumbers[] = {
    BT_FIELD(AnalogIn0),  BT_FIELD(AnalogIn1),  BT_FIELD(AnalogIn2),     BT_FIELD(AnalogIn3),
    BT_FIELD(AnalogIn4),  BT_FIELD(AnalogIn5),  BT_FIELD(AnalogOut0),    BT_FIELD(AnalogOut1),
    BT_FIELD(DigitalIn),  BT_FIELD(DigitalOut), BT_FIELD(PortDirection), BT_FIELD(Frequency),
    BT_FIELD(Totalizer),  BT_FIELD(ConfigBits), BT_FIELD(Analog4V),      BT_FIELD(Analog4Max),
    BT_FIELD(Analog4Min), BT_FIELD(Analog5V),   BT_FIELD(Analog5Max),    BT_FIELD(Analog5Min),
};

#undef BT_FIELD

Json field_value(const ModuleRecord& record, std::string_view name) {
  for (const NumberField& field : kNumbers) {
    if (field.name == name) return field.value(record);
  }
  if (name == "SerialNumber") {
    // Sixteen hexadecimal digits, as on the wire and on the module's label.
    std::string digits;
    for (int16_t b : record.SerialNumber) {
      char pair[3];
      std::snprintf(pair, sizeof pair, "%02X", static_cast<unsigned>(b) & 0xFFu);
      digits += pair;
    }
    return digits;
  }
  if (name == "KeyText") return std::string(record.KeyText, strnlen(record.KeyText, BT_KEY_LEN));
  throw std::logic_error("no record field " + std::string(name));
}

}  // namespace

Json record_fields(const ModuleRecord& record, const std::vector<std::string_view>& names) {
  Json object = Json::object();
  for (std::string_view name : names) object[std::string(name)] = field_value(record, name);
  return object;
}

}  // namespace toolkit
