// The library's cases end to end: Brimtally.dll loaded with LoadLibraryA,
// every export found with GetProcAddress under its plain name, COM1 leading
// to the simulated module (address "01", configuration word 02CF).
#include "client_cases.h"

#include <windows.h>

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "brimtally.h"
#include "check.h"
#include "sim_session.h"

namespace wintest {

namespace {

using InitFn = ModuleRecord(BT_CALL*)(ModuleRecord*);
using RecordFn = int16_t(BT_CALL*)(ModuleRecord*);
using OpenFn = int16_t(BT_CALL*)(int16_t, uint16_t);
using CloseFn = int32_t(BT_CALL*)();
using DigitalOutFn = int16_t(BT_CALL*)(ModuleRecord*, int16_t);

const char* const kExports[] = {
    "btInitDLL",
    "btSeedDLL",
    "btPortOpen",
    "btPortClose",
    "ex_xmit_msg",
    "ex_read_line",
    "btSetAnalogOut",
    "btSetAnalogLimits",
    "btSetDigitalOut",
    "btSetDirection",
    "btSetPWM",
    "btSetDebounce",
    "btResetMinMax",
    "btResetTotalizer",
    "btPrint",
    "btGetAllIO",
    "btGetMinMax",
    "btGetDigitalIn",
    "btGetDigitalOut",
    "btGetDigitalDirection",
    "btGetConfiguration",
    "btGetFrequency",
    "btGetTotalizer",
    "btGetSerialNumber",
    "btKey",
};

HMODULE library = nullptr;

template <typename Fn>
Fn export_of(const char* name) {
  FARPROC address = library != nullptr ? GetProcAddress(library, name) : nullptr;
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(address));
}

int16_t field16(const ModuleRecord& record, size_t offset) {
  int16_t value;
  std::memcpy(&value, reinterpret_cast<const char*>(&record) + offset, sizeof value);
  return value;
}

int32_t field32(const ModuleRecord& record, size_t offset) {
  int32_t value;
  std::memcpy(&value, reinterpret_cast<const char*>(&record) + offset, sizeof value);
  return value;
}

ModuleRecord fresh_record() {
  ModuleRecord scratch{};
  return export_of<InitFn>("btInitDLL")(&scratch);
}

// Reads reply lines until one begins with prefix (the console also sends its
// prompt); 0 when none came.
int16_t read_until(ModuleRecord& record, const char* prefix) {
  const auto read_line = export_of<RecordFn>("ex_read_line");
  for (int i = 0; i < 20; ++i) {
    const int16_t n = read_line(&record);
    if (n > 0 && std::strncmp(record.ReplyText, prefix, std::strlen(prefix)) == 0) return n;
    if (n == BT_READ_ERROR) return n;
  }
  return 0;
}

void every_export_by_plain_name() {
  for (const char* name : kExports) {
    check(GetProcAddress(library, name) != nullptr, __FILE__, __LINE__,
          std::string("export ") + name);
  }
}

void records_made_and_seeded() {
  const ModuleRecord record = fresh_record();
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&record);
  CHECK_EQ(std::string(record.DllVersion), std::string(BT_DLL_VERSION));
  CHECK_EQ(field16(record, 482), 30);
  size_t stray = 0;
  for (size_t i = std::strlen(BT_DLL_VERSION); i < 482; ++i) stray += bytes[i] != 0;
  CHECK_EQ(stray, 0u);

  // The seed pattern shows where a caller's idea of the layout departs.
  ModuleRecord seeded = record;
  CHECK_EQ(export_of<RecordFn>("btSeedDLL")(&seeded), 0);
  CHECK_EQ(field16(seeded, 380), 1);
  CHECK_EQ(field32(seeded, 384), 2);
  CHECK_EQ(field16(seeded, 388), 3);
  CHECK_EQ(field16(seeded, 398), 8);
  CHECK_EQ(field16(seeded, 400), 9);    // HighLimit[0]
  CHECK_EQ(field16(seeded, 412), 10);   // LowLimit[0]
  CHECK_EQ(field16(seeded, 422), 20);   // LowLimit[5]
  CHECK_EQ(field32(seeded, 428), 23);   // Frequency
  CHECK_EQ(field16(seeded, 450), 33);   // SpareWord
  CHECK_EQ(field16(seeded, 452), 100);  // SerialNumber[0]
  CHECK_EQ(field16(seeded, 466), 107);  // SerialNumber[7]
  CHECK_EQ(field32(seeded, 468), 34);   // Totalizer
  CHECK_EQ(field32(seeded, 476), 36);   // PwmPercent
  CHECK_EQ(field16(seeded, 480), 37);   // Debounce
  CHECK_EQ(field16(seeded, 482), 30);   // ReplyTimeout untouched

  ModuleRecord wrong = record;
  wrong.DllVersion[0] = 'b';
  CHECK_EQ(export_of<RecordFn>("btSeedDLL")(&wrong), BT_WRONG_VERSION);
  CHECK_EQ(wrong.Status, BT_WRONG_VERSION);
}

void open_codes() {
  const auto open = export_of<OpenFn>("btPortOpen");
  const auto close = export_of<CloseFn>("btPortClose");
  CHECK_EQ(open(3, 9600), BT_BAD_PORT);
  CHECK_EQ(open(1, 4800), BT_BAD_BAUD);
  // COM2 refuses to open (access denied underneath).
  CHECK_EQ(open(2, 9600), BT_OPEN_FAILED);
  CHECK_EQ(open(1, 9600), BT_OK);
  CHECK_EQ(close(), 0);
}

void raw_lines_through_the_simulator() {
  CHECK_EQ(export_of<OpenFn>("btPortOpen")(1, 9600), BT_OK);
  ModuleRecord record = fresh_record();
  record.ReplyTimeout = 200;
  const SimLogWatch watch;
  // The field is cut after its first CR: only "QC" and the CR leave.
  std::strcpy(record.MessageText, "QC\rSO 1");
  CHECK_EQ(export_of<RecordFn>("ex_xmit_msg")(&record), 3);
  CHECK_EQ(record.MessageText[3], '\0');
  CHECK_EQ(read_until(record, "C:"), 6);
  CHECK_EQ(std::string(record.ReplyText), std::string("C:02CF"));
  // Text left after the CR would run into the next line.
  std::strcpy(record.MessageText, "QC\r");
  CHECK_EQ(export_of<RecordFn>("ex_xmit_msg")(&record), 3);
  const std::vector<std::string> lines = watch.lines_received(2);
  CHECK_EQ(lines.size(), 2u);
  for (const std::string& line : lines) CHECK_EQ(line, log_escaped("QC\r"));
  CHECK_EQ(export_of<CloseFn>("btPortClose")(), 0);
}

void typed_operations_on_the_wire() {
  CHECK_EQ(export_of<OpenFn>("btPortOpen")(1, 9600), BT_OK);
  ModuleRecord record = fresh_record();
  std::strcpy(record.ModuleAddress, "01");
  record.ReplyTimeout = 500;

  // A setting: the command line the record shows is what reached the module.
  const SimLogWatch setting;
  CHECK_EQ(export_of<DigitalOutFn>("btSetDigitalOut")(&record, 0x0F), BT_OK);
  CHECK_EQ(record.Status, BT_OK);
  CHECK(std::strstr(record.CommandText, "SO") != nullptr);
  CHECK(setting.received(log_escaped(record.CommandText)));

  // A query: the reply's fields land in the record.
  const SimLogWatch query;
  CHECK_EQ(export_of<RecordFn>("btGetConfiguration")(&record), BT_OK);
  CHECK(query.received(log_escaped(record.CommandText)));
  CHECK_EQ(record.ConfigBits, 0x02CF);
  CHECK_EQ(record.ReplyText[0], '$');
  CHECK_EQ(export_of<RecordFn>("btGetDigitalOut")(&record), BT_OK);
  CHECK_EQ(record.DigitalOut, 0x0F);

  // A reply whose checksum is wrong is refused.
  CHECK_EQ(sim_control("fault badsum 100").rfind("ok", 0), 0u);
  CHECK_EQ(export_of<RecordFn>("btGetConfiguration")(&record), BT_BAD_CHECKSUM);
  CHECK_EQ(sim_control("fault off").rfind("ok", 0), 0u);

  // No module answers at another address: no usable reply.
  std::strcpy(record.ModuleAddress, "77");
  record.ReplyTimeout = 100;
  CHECK_EQ(export_of<RecordFn>("btGetConfiguration")(&record), BT_NO_REPLY);
  CHECK_EQ(record.Status, BT_NO_REPLY);

  // A record of another version is refused before anything is sent.
  std::strcpy(record.ModuleAddress, "01");
  record.DllVersion[std::strlen(record.DllVersion) - 1] = '8';
  CHECK_EQ(export_of<DigitalOutFn>("btSetDigitalOut")(&record, 1), BT_WRONG_VERSION);
  CHECK_EQ(export_of<CloseFn>("btPortClose")(), 0);
}

}  // namespace

void run_client_cases(const std::string& dll_path) {
  library = LoadLibraryA(dll_path.c_str());
  run_case("client: Brimtally.dll loads by path", [] { CHECK(library != nullptr); });
  if (library == nullptr) return;
  run_case("client: every export by its plain name", every_export_by_plain_name);
  for (const char* name : kExports) {
    if (GetProcAddress(library, name) == nullptr) return;  // nothing more can run
  }
  run_case("client: records made and seeded", records_made_and_seeded);
  run_case("client: open codes", open_codes);
  run_case("client: raw lines through the simulator", raw_lines_through_the_simulator);
  run_case("client: typed operations on the wire", typed_operations_on_the_wire);
  FreeLibrary(library);
  library = nullptr;
}

}  // namespace wintest
