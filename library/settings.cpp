// SPDX-License-Identifier: MIT
// Operations that set a module's outputs and settings: one command line each,
// no reply read.
#include "brimtally.h"
#include "command_line.h"
#include "operation.h"
#include "send_procedure.h"
#include "serial/echo_check.h"

namespace {

// The values sent are kept in the record before the line goes out; a caller
// that must know whether the module took them reads them back with a query.
int16_t send_setting(ModuleRecord& record, bt::SerialPort& port) {
  // On a line that echoes, the echo is read here, so that its fault is this
  // setting's (kept in the port's status) and not the next transaction's.
  if (bt::send_command(port, record) >= 0) bt::port_settle_echo(port);
  return bt::finish_operation(record, BT_OK);
}

int16_t low16(int32_t value) {
  return static_cast<int16_t>(value & 0xFFFF);
}

}  // namespace

extern "C" {

BT_API int16_t BT_CALL btSetAnalogOut(ModuleRecord* record, int16_t value0, int16_t value1) {
  bt::SerialPort* port = nullptr;
  if (int16_t refused = bt::begin_operation(record, port)) return refused;
  record->AnalogOut0 = value0;
  record->AnalogOut1 = value1;
  bt::build_command(*record, "SD", {{value0, 3}, {value1, 3}});
  return send_setting(*record, *port);
}

BT_API int16_t BT_CALL btSetAnalogLimits(ModuleRecord* record, int16_t channel, int16_t low,
                                         int16_t high) {
  bt::SerialPort* port = nullptr;
  if (int16_t refused = bt::begin_operation(record, port)) return refused;
  if (channel >= 0 && channel <= 5) {
    record->LowLimit[channel] = low;
    record->HighLimit[channel] = high;
  }
  // The 12-bit channels take three digits per limit, the others two.
  const int width = channel == 4 || channel == 5 ? 3 : 2;
  bt::build_command(*record, "SL", {{channel, 1}, {low, width}, {high, width}});
  return send_setting(*record, *port);
}

BT_API int16_t BT_CALL btSetDigitalOut(ModuleRecord* record, int16_t bits) {
  bt::SerialPort* port = nullptr;
  if (int16_t refused = bt::begin_operation(record, port)) return refused;
  record->DigitalOut = bits;
  bt::build_command(*record, "SO", {{bits, 2}});
  return send_setting(*record, *port);
}

BT_API int16_t BT_CALL btSetDirection(ModuleRecord* record, int16_t bits) {
  bt::SerialPort* port = nullptr;
  if (int16_t refused = bt::begin_operation(record, port)) return refused;
  record->PortDirection = bits;
  bt::build_command(*record, "SB", {{bits, 2}});
  return send_setting(*record, *port);
}

BT_API int16_t BT_CALL btSetPWM(ModuleRecord* record, int32_t period, int32_t percent) {
  bt::SerialPort* port = nullptr;
  if (int16_t refused = bt::begin_operation(record, port)) return refused;
  record->PwmPeriod = period;
  record->PwmPercent = percent;
  bt::build_command(*record, "SP", {{low16(period), 4}, {low16(percent), 4}});
  return send_setting(*record, *port);
}

BT_API int16_t BT_CALL btSetDebounce(ModuleRecord* record, int16_t value) {
  bt::SerialPort* port = nullptr;
  if (int16_t refused = bt::begin_operation(record, port)) return refused;
  record->Debounce = value;
  bt::build_command(*record, "ST", {{value, 2}});
  return send_setting(*record, *port);
}

BT_API int16_t BT_CALL btResetMinMax(ModuleRecord* record) {
  bt::SerialPort* port = nullptr;
  if (int16_t refused = bt::begin_operation(record, port)) return refused;
  bt::build_command(*record, "RM");
  return send_setting(*record, *port);
}

BT_API int16_t BT_CALL btResetTotalizer(ModuleRecord* record) {
  bt::SerialPort* port = nullptr;
  if (int16_t refused = bt::begin_operation(record, port)) return refused;
  bt::build_command(*record, "RT");
  return send_setting(*record, *port);
}

BT_API int16_t BT_CALL btPrint(ModuleRecord* record) {
  bt::SerialPort* port = nullptr;
  if (int16_t refused = bt::begin_operation(record, port)) return refused;
  if (!bt::build_print_command(*record)) return bt::finish_operation(*record, BT_TOO_LONG);
  return send_setting(*record, *port);
}

}  // extern "C"
