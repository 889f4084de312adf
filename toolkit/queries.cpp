// SPDX-License-Identifier: MIT
#include "queries.h"

namespace toolkit {

namespace {

// "#cc " + address + " " + letters + LF CR.
constexpr int kCommandFrame = 4 + 1 + 2;
// "$cc " + address + fields + CR.
constexpr int kReplyFrame = 4 + 1;

}  // namespace

const std::vector<Query>& queries() {
  // Field widths as the module sends them: " A0:hh" is 6 characters, " A4:hhh"
  // 7, " I:hh" 5, " C:hhhh" 7, " T:hhhhhh" 9, " S:" and eight "hh" groups 27.
  static const std::vector<Query> table = {
      {"all-io",
       "QE",
       btGetAllIO,
       {"AnalogIn0", "AnalogIn1", "AnalogIn2", "AnalogIn3", "AnalogIn4", "AnalogIn5", "AnalogOut0",
        "AnalogOut1", "DigitalIn", "DigitalOut", "PortDirection", "Frequency", "Totalizer",
        "ConfigBits"},
       4 * 6 + 2 * 7 + 2 * 7 + 3 * 5 + 7 + 9 + 7},
      {"min-max",
       "QM",
       btGetMinMax,
       {"AnalogIn4", "Analog4V", "Analog4Max", "Analog4Min", "AnalogIn5", "Analog5V", "Analog5Max",
        "Analog5Min"},
       2 * (7 + 3 * 6)},
      {"digital-in", "QI", btGetDigitalIn, {"DigitalIn"}, 5},
      {"digital-out", "QO", btGetDigitalOut, {"DigitalOut"}, 5},
      {"direction", "QB", btGetDigitalDirection, {"PortDirection"}, 5},
      {"configuration", "QC", btGetConfiguration, {"ConfigBits"}, 7},
      {"frequency", "QF", btGetFrequency, {"Frequency"}, 7},
      {"totalizer", "QT", btGetTotalizer, {"Totalizer"}, 9},
      {"serial-number", "QS", btGetSerialNumber, {"SerialNumber"}, 27},
      // A blank and at most the 19 keys KeyText keeps.
      {"key", "Q", btKey, {"KeyText"}, 1 + BT_KEY_LEN - 1},
  };
  return table;
}

const Query* find_query(std::string_view name) {
  for (const Query& q : queries()) {
    if (q.name == name) return &q;
  }
  return nullptr;
}

std::vector<std::string> query_names() {
  std::vector<std::string> names;
  for (const Query& q : queries()) names.emplace_back(q.name);
  return names;
}

int exchange_chars(const Query& query, size_t address_length) {
  const int address = static_cast<int>(address_length);
  return kCommandFrame + address + static_cast<int>(query.letters.size()) + kReplyFrame + address +
         query.field_chars;
}

}  // namespace toolkit
