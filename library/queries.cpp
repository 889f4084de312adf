// SPDX-License-Identifier: MIT
// Operations that ask a module for its values: one command line, one reply
// line scanned into the record.
#include "queries.h"

#include <cstring>

#include "command_line.h"
#include "operation.h"
#include "reply_reader.h"
#include "reply_scanner.h"
#include "send_procedure.h"

namespace {

int16_t query(ModuleRecord* record, const char* letters,
              bt::ScanMode mode = bt::ScanMode::kFields) {
  bt::SerialPort* port = nullptr;
  if (int16_t refused = bt::begin_operation(record, port)) return refused;
  bt::build_command(*record, letters);
  bt::send_command(*port, *record);
  if (mode == bt::ScanMode::kKeys) std::memset(record->KeyText, 0, sizeof record->KeyText);
  // No usable line (a driver error or nothing within ReplyTimeout) gives 1.
  if (bt::read_reply_line(*port, *record).result != bt::kLineRead) {
    bt::discard_failed_reply(*port, *record);
    return bt::finish_operation(*record, BT_NO_REPLY);
  }
  return bt::scan_reply_text(*record, mode);
}

}  // namespace

namespace bt {

int16_t GetAnalogInputs(ModuleRecord* record) {
  return query(record, "QA");
}
int16_t GetAnalogOutputs(ModuleRecord* record) {
  return query(record, "QD");
}

}  // namespace bt

extern "C" {

BT_API int16_t BT_CALL btGetAllIO(ModuleRecord* record) {
  return query(record, "QE");
}
BT_API int16_t BT_CALL btGetMinMax(ModuleRecord* record) {
  return query(record, "QM");
}
BT_API int16_t BT_CALL btGetDigitalIn(ModuleRecord* record) {
  return query(record, "QI");
}
BT_API int16_t BT_CALL btGetDigitalOut(ModuleRecord* record) {
  return query(record, "QO");
}
BT_API int16_t BT_CALL btGetDigitalDirection(ModuleRecord* record) {
  return query(record, "QB");
}
BT_API int16_t BT_CALL btGetConfiguration(ModuleRecord* record) {
  return query(record, "QC");
}
BT_API int16_t BT_CALL btGetFrequency(ModuleRecord* record) {
  return query(record, "QF");
}
BT_API int16_t BT_CALL btGetTotalizer(ModuleRecord* record) {
  return query(record, "QT");
}
BT_API int16_t BT_CALL btGetSerialNumber(ModuleRecord* record) {
  return query(record, "QS");
}
BT_API int16_t BT_CALL btKey(ModuleRecord* record) {
  return query(record, "Q", bt::ScanMode::kKeys);
}

}  // extern "C"
