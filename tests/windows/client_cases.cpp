// SPDX-License-Identifier: MIT
// The library as a client uses it: Brimtally.dll loaded with LoadLibraryA,
// every export found by its plain name and called with the __stdcall
// convention, COM1 leading to the simulated module (address "01",
// configuration word 02CF). What the operations do is the library's own
// business, checked on Linux; here one table runs each call shape through the
// DLL against the module.
#include <windows.h>

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "brimtally.h"
#include "check.h"
#include "sim_session.h"

namespace wintest {

namespace {

const char kExports[] =
    "btInitDLL btSeedDLL btPortOpen btPortClose ex_xmit_msg ex_read_line btSetAnalogOut "
    "btSetAnalogLimits btSetDigitalOut btSetDirection btSetPWM btSetDebounce btResetMinMax "
    "btResetTotalizer btPrint btGetAllIO btGetMinMax btGetDigitalIn btGetDigitalOut "
    "btGetDigitalDirection btGetConfiguration btGetFrequency btGetTotalizer btGetSerialNumber "
    "btKey";

// The names of the exports that GetProcAddress does not find.
std::string missing_exports(HMODULE dll) {
  std::istringstream names(kExports);
  std::string missing;
  for (std::string name; names >> name;) {
    if (GetProcAddress(dll, name.c_str()) == nullptr) missing += name + " ";
  }
  return missing;
}

HMODULE library = nullptr;

// The export, typed as the header declares it.
#define CALL(name) \
  reinterpret_cast<decltype(&name)>(reinterpret_cast<void*>(GetProcAddress(library, #name)))

ModuleRecord fresh_record() {
  ModuleRecord scratch{};
  ModuleRecord record = CALL(btInitDLL)(&scratch);
  std::strcpy(record.ModuleAddress, "01");
  record.ReplyTimeout = 500;
  return record;
}

struct ClientCase {
  const char* name;
  int16_t (*call)(ModuleRecord&);
  int16_t expected;
  bool (*holds)(const ModuleRecord&);  // what the record must show after, or nullptr
};

// Reads until a line beginning "C:" (the console also sends its prompt).
int16_t read_configuration_line(ModuleRecord& record) {
  for (int i = 0; i < 20; ++i) {
    const int16_t n = CALL(ex_read_line)(&record);
    if (n == BT_READ_ERROR || (n > 0 && std::strncmp(record.ReplyText, "C:", 2) == 0)) return n;
  }
  return 0;
}

// In order: each case may rely on what the ones before it did.
const ClientCase kCases[] = {
    {"raw line out",
     [](ModuleRecord& r) {
       std::strcpy(r.MessageText, "QC\r");
       return CALL(ex_xmit_msg)(&r);
     },
     3, nullptr},
    {"raw line in", read_configuration_line, 6,
     [](const ModuleRecord& r) { return std::string(r.ReplyText) == "C:02CF"; }},
    {"setting", [](ModuleRecord& r) { return CALL(btSetDigitalOut)(&r, 0x0F); }, BT_OK, nullptr},
    {"setting, four arguments",
     [](ModuleRecord& r) { return CALL(btSetAnalogLimits)(&r, 5, 100, 900); }, BT_OK, nullptr},
    {"query", [](ModuleRecord& r) { return CALL(btGetDigitalOut)(&r); }, BT_OK,
     [](const ModuleRecord& r) { return r.DigitalOut == 0x0F; }},
    {"query, 32-bit field", [](ModuleRecord& r) { return CALL(btGetConfiguration)(&r); }, BT_OK,
     [](const ModuleRecord& r) { return r.ConfigBits == 0x02CF; }},
};

void loads_by_path() {
  if (!CHECK(library != nullptr)) return;
  CHECK_EQ(missing_exports(library), std::string());
  // A record comes back by value, through the convention's hidden pointer.
  const ModuleRecord record = fresh_record();
  CHECK_EQ(std::string(record.DllVersion), std::string(BT_DLL_VERSION));
  CHECK_EQ(record.ReplyTimeout, 500);
}

void open_codes() {
  // Port, baud, result; COM2 refuses to open (access denied underneath).
  const int opens[][3] = {
      {3, 9600, BT_BAD_PORT}, {1, 4800, BT_BAD_BAUD}, {2, 9600, BT_OPEN_FAILED}, {1, 9600, BT_OK}};
  for (const auto& open : opens) {
    CHECK_EQ(CALL(btPortOpen)(static_cast<int16_t>(open[0]), static_cast<uint16_t>(open[1])),
             open[2]);
  }
}

void the_table_against_the_module() {
  for (const ClientCase& c : kCases) {
    ModuleRecord record = fresh_record();
    const SimLogWatch watch;
    const int16_t result = c.call(record);
    check_eq(result, c.expected, __FILE__, __LINE__, c.name);
    if (c.holds != nullptr) check(c.holds(record), __FILE__, __LINE__, c.name);
    // What the record says was sent is what reached the module.
    if (c.expected == BT_OK) {
      const std::vector<std::string> lines = watch.lines_received(1);
      check(!lines.empty() && lines[0].find(log_escaped(record.CommandText)) != std::string::npos,
            __FILE__, __LINE__, c.name);
    }
  }
  CHECK_EQ(CALL(btPortClose)(), 0);
}

}  // namespace

void run_client_cases(const std::string& dll_path) {
  library = LoadLibraryA(dll_path.c_str());
  run_case("client: loads by path, exports by plain name", loads_by_path);
  if (library == nullptr || !missing_exports(library).empty()) return;  // nothing more can run
  run_case("client: open codes", open_codes);                           // leaves COM1 open
  run_case("client: one table of calls against the module", the_table_against_the_module);
  FreeLibrary(library);
  library = nullptr;
}

}  // namespace wintest
