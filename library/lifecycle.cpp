// SPDX-License-Identifier: MIT
// The record's initialisation and test pattern, and opening and closing the port.
#include <cstring>

#include "brimtally.h"
#include "current_port.h"
#include "record_text.h"

namespace {

constexpr int16_t kDefaultReplyTimeoutMs = 30;
constexpr int kNoParity = 'N';
constexpr int kDataBits = 8;
constexpr int kStopBits = 1;
constexpr int32_t kNoPortOpen = bt::kNotSetUp;

// Zero-filled at load; btInitDLL stamps its three fields and hands out copies.
ModuleRecord g_template_record;

bool accepted_baud(uint16_t baud) {
  switch (baud) {
    case 300:
    case 1200:
    case 2400:
    case 9600:
    case 19200:
    case 57600:
      return true;
    default:
      return false;
  }
}

// Only one port is current; the one it replaces would otherwise stay open
// and locked until the process ends, so it goes before the new one opens.
void close_current() {
  if (bt::SerialPort* old = bt::current_port()) {
    bt::set_current_port(nullptr);
    old->ops->close(*old);
  }
}

// Kept even when the open failed: its operations then all report failure.
int16_t make_current(bt::SerialPort* opened) {
  bt::set_current_port(opened);
  return opened->status < 0 ? BT_OPEN_FAILED : BT_OK;
}

}  // namespace

extern "C" {

BT_API ModuleRecord BT_CALL btInitDLL(ModuleRecord* /*ignored*/) {
  bt::set_field_text(g_template_record.DllVersion, bt::kDllVersion);
  g_template_record.ReplyTimeout = kDefaultReplyTimeoutMs;
  g_template_record.Status = BT_OK;
  return g_template_record;
}

BT_API int16_t BT_CALL btSeedDLL(ModuleRecord* record) {
  if (record == nullptr) return BT_WRONG_VERSION;
  if (!bt::version_matches(*record)) return record->Status = BT_WRONG_VERSION;

  // Every numeric field gets its own value, so a caller can see where its
  // declaration of the record departs from ours.
  ModuleRecord& r = *record;
  r.Status = 1;
  r.ConfigBits = 2;
  int16_t* inputs[] = {&r.AnalogIn0, &r.AnalogIn1, &r.AnalogIn2,
                       &r.AnalogIn3, &r.AnalogIn4, &r.AnalogIn5};
  for (int i = 0; i < 6; ++i) *inputs[i] = static_cast<int16_t>(3 + i);
  for (int i = 0; i < 6; ++i) {
    r.HighLimit[i] = static_cast<int16_t>(9 + 2 * i);
    r.LowLimit[i] = static_cast<int16_t>(10 + 2 * i);
  }
  r.AnalogOut0 = 21;
  r.AnalogOut1 = 22;
  r.Frequency = 23;
  r.PortDirection = 24;
  r.DigitalIn = 25;
  r.DigitalOut = 26;
  r.Analog4V = 27;
  r.Analog4Max = 28;
  r.Analog4Min = 29;
  r.Analog5V = 30;
  r.Analog5Max = 31;
  r.Analog5Min = 32;
  r.SpareWord = 33;
  for (int i = 0; i < 8; ++i) r.SerialNumber[i] = static_cast<int16_t>(100 + i);
  r.Totalizer = 34;
  r.PwmPeriod = 35;
  r.PwmPercent = 36;
  r.Debounce = 37;
  return BT_OK;
}

BT_API int16_t BT_CALL btPortOpen(int16_t port, uint16_t baud) {
  if (port != 1 && port != 2) return BT_BAD_PORT;
  if (!accepted_baud(baud)) return BT_BAD_BAUD;
  close_current();
  return make_current(bt::port_open(port - 1, baud, kNoParity, kDataBits, kStopBits));
}

BT_API int16_t BT_CALL btPortOpenName(const char* name, uint16_t baud) {
  if (name == nullptr || *name == '\0' ||
      strnlen(name, bt::kLongestPortName + 1) > bt::kLongestPortName) {
    return BT_BAD_PORT;
  }
  if (!accepted_baud(baud)) return BT_BAD_BAUD;
  // It takes COM1's place, as the one current port.
  close_current();
  return make_current(bt::port_open_named(0, name, baud, kNoParity, kDataBits, kStopBits));
}

BT_API int16_t BT_CALL btPortDevice(int16_t port, char* buffer, uint16_t size) {
  if (port != 1 && port != 2) return BT_BAD_PORT;
  if (buffer == nullptr || size == 0) return BT_TOO_LONG;
  char name[bt::kLongestPortName + 1];
  bt::port_device_name(port - 1, name, sizeof name);
  const size_t length = strlen(name);
  if (length >= size) {
    buffer[0] = '\0';
    return BT_TOO_LONG;
  }
  memcpy(buffer, name, length + 1);
  return BT_OK;
}

BT_API int32_t BT_CALL btPortClose(void) {
  bt::SerialPort* port = bt::current_port();
  if (port == nullptr) return kNoPortOpen;
  bt::set_current_port(nullptr);
  return port->ops->close(*port);
}

}  // extern "C"
