// SPDX-License-Identifier: MIT
// Which fields of a record differ between two copies, by name, so a test can
// state exactly what a call may change.
#ifndef BRIMTALLY_TESTS_SUPPORT_RECORD_DIFF_H
#define BRIMTALLY_TESTS_SUPPORT_RECORD_DIFF_H

#include <cstddef>
#include <cstring>
#include <set>
#include <string>

#include "brimtally.h"

namespace bt_test {

struct RecordField {
  const char* name;
  size_t offset;
  size_t size;
};

#define BT_TEST_FIELD(name) \
  { #name, offsetof(ModuleRecord, name), sizeof(ModuleRecord::name) }
inline constexpr RecordField kRecordFields[] = {
    BT_TEST_FIELD(DllVersion),   BT_TEST_FIELD(ModuleAddress), BT_TEST_FIELD(CommandText),
    BT_TEST_FIELD(ReplyText),    BT_TEST_FIELD(KeyText),       BT_TEST_FIELD(MessageText),
    BT_TEST_FIELD(Status),       BT_TEST_FIELD(Padding),       BT_TEST_FIELD(ConfigBits),
    BT_TEST_FIELD(AnalogIn0),    BT_TEST_FIELD(AnalogIn1),     BT_TEST_FIELD(AnalogIn2),
    BT_TEST_FIELD(AnalogIn3),    BT_TEST_FIELD(AnalogIn4),     BT_TEST_FIELD(AnalogIn5),
    BT_TEST_FIELD(HighLimit),    BT_TEST_FIELD(LowLimit),      BT_TEST_FIELD(AnalogOut0),
    BT_TEST_FIELD(AnalogOut1),   BT_TEST_FIELD(Frequency),     BT_TEST_FIELD(PortDirection),
    BT_TEST_FIELD(DigitalIn),    BT_TEST_FIELD(DigitalOut),    BT_TEST_FIELD(Analog4V),
    BT_TEST_FIELD(Analog4Max),   BT_TEST_FIELD(Analog4Min),    BT_TEST_FIELD(Analog5V),
    BT_TEST_FIELD(Analog5Max),   BT_TEST_FIELD(Analog5Min),    BT_TEST_FIELD(SpareWord),
    BT_TEST_FIELD(SerialNumber), BT_TEST_FIELD(Totalizer),     BT_TEST_FIELD(PwmPeriod),
    BT_TEST_FIELD(PwmPercent),   BT_TEST_FIELD(Debounce),      BT_TEST_FIELD(ReplyTimeout),
};
#undef BT_TEST_FIELD

// The names of the fields whose bytes differ.
inline std::set<std::string> changed_fields(const ModuleRecord& before, const ModuleRecord& after) {
  std::set<std::string> changed;
  const auto* a = reinterpret_cast<const unsigned char*>(&before);
  const auto* b = reinterpret_cast<const unsigned char*>(&after);
  for (const RecordField& f : kRecordFields) {
    if (std::memcmp(a + f.offset, b + f.offset, f.size) != 0) changed.insert(f.name);
  }
  return changed;
}

}  // namespace bt_test

#endif  // BRIMTALLY_TESTS_SUPPORT_RECORD_DIFF_H
