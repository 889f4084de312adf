// The library as a client uses it: Brimtally.dll loaded with LoadLibraryA,
// every export found by its plain name and called with the __stdcall
// convention, COM1 leading to the simulated module (address "01",
// configuration word 02CF). What the operations do is the library's own
// business, checked on Linux; here one table runs each call shape through the
// DLL against the module.
#include <windows.h>

#include <cstring>
#include <string>

#include "brimtally.h"
#include "check.h"
#include "sim_session.h"

namespace wintest {

namespace {

const char* const kExports[] = {"btInitDLL",
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
                                "btKey"};

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
  const char* fault;  // a simulator fault for this case only, or nullptr
  void (*prepare)(ModuleRecord&);
  int16_t (*call)(ModuleRecord&);
  int16_t expected;
  bool (*holds)(const ModuleRecord&);  // what the record must show after, or nullptr
};

void no_change(ModuleRecord&) {}

// Reads until a line beginning "C:" (the console also sends its prompt).
int16_t read_configuration_line(ModuleRecord& record) {
  for (int i = 0; i < 20; ++i) {
    const int16_t n = CALL(ex_read_line)(&record);
    if (n == BT_READ_ERROR || (n > 0 && std::strncmp(record.ReplyText, "C:", 2) == 0)) return n;
  }
  return 0;
}

const ClientCase kCases[] = {
    {"raw line out", nullptr, [](ModuleRecord& r) { std::strcpy(r.MessageText, "QC\r"); },
     [](ModuleRecord& r) { return CALL(ex_xmit_msg)(&r); }, 3, nullptr},
    {"raw line in", nullptr, no_change, read_configuration_line, 6,
     [](const ModuleRecord& r) { return std::string(r.ReplyText) == "C:02CF"; }},
    {"setting, one argument", nullptr, no_change,
     [](ModuleRecord& r) { return CALL(btSetDigitalOut)(&r, 0x0F); }, BT_OK, nullptr},
    {"setting, three arguments", nullptr, no_change,
     [](ModuleRecord& r) { return CALL(btSetAnalogLimits)(&r, 5, 100, 900); }, BT_OK, nullptr},
    {"setting, 32-bit arguments", nullptr, no_change,
     [](ModuleRecord& r) { return CALL(btSetPWM)(&r, 1000, 25); }, BT_OK, nullptr},
    {"query", nullptr, no_change, [](ModuleRecord& r) { return CALL(btGetDigitalOut)(&r); }, BT_OK,
     [](const ModuleRecord& r) { return r.DigitalOut == 0x0F && r.ReplyText[0] == '$'; }},
    {"query, 32-bit field", nullptr, no_change,
     [](ModuleRecord& r) { return CALL(btGetConfiguration)(&r); }, BT_OK,
     [](const ModuleRecord& r) { return r.ConfigBits == 0x02CF; }},
    {"reply with a bad checksum", "fault badsum 100", no_change,
     [](ModuleRecord& r) { return CALL(btGetConfiguration)(&r); }, BT_BAD_CHECKSUM, nullptr},
    {"no module at the address", nullptr,
     [](ModuleRecord& r) {
       std::strcpy(r.ModuleAddress, "77");
       r.ReplyTimeout = 100;
     },
     [](ModuleRecord& r) { return CALL(btGetConfiguration)(&r); }, BT_NO_REPLY,
     [](const ModuleRecord& r) { return r.Status == BT_NO_REPLY; }},
    {"record of another version", nullptr, [](ModuleRecord& r) { r.DllVersion[0] = 'b'; },
     [](ModuleRecord& r) { return CALL(btSeedDLL)(&r); }, BT_WRONG_VERSION, nullptr},
};

void exports_and_records() {
  for (const char* name : kExports) {
    check(GetProcAddress(library, name) != nullptr, __FILE__, __LINE__,
          std::string("export ") + name);
  }
  // A record comes back by value through the convention's hidden pointer.
  const ModuleRecord record = fresh_record();
  CHECK_EQ(std::string(record.DllVersion), std::string(BT_DLL_VERSION));
  CHECK_EQ(record.ReplyTimeout, 500);
  ModuleRecord seeded = record;
  CHECK_EQ(CALL(btSeedDLL)(&seeded), 0);
  CHECK_EQ(seeded.Frequency, 23);
  CHECK_EQ(seeded.Debounce, 37);
}

void open_codes() {
  const struct {
    int16_t port;
    uint16_t baud;
    int16_t expected;
  } opens[] = {
      {3, 9600, BT_BAD_PORT}, {1, 4800, BT_BAD_BAUD}, {2, 9600, BT_OPEN_FAILED}, {1, 9600, BT_OK}};
  for (const auto& open : opens) CHECK_EQ(CALL(btPortOpen)(open.port, open.baud), open.expected);
  CHECK_EQ(CALL(btPortClose)(), 0);
}

void the_table_against_the_module() {
  CHECK_EQ(CALL(btPortOpen)(1, 9600), BT_OK);
  for (const ClientCase& c : kCases) {
    ModuleRecord record = fresh_record();
    c.prepare(record);
    if (c.fault != nullptr) CHECK_EQ(sim_control(c.fault).rfind("ok", 0), 0u);
    const SimLogWatch watch;
    const int16_t result = c.call(record);
    if (c.fault != nullptr) CHECK_EQ(sim_control("fault off").rfind("ok", 0), 0u);
    check(result == c.expected, __FILE__, __LINE__,
          std::string(c.name) + ": got " + describe(result) + " expected " + describe(c.expected));
    if (c.holds != nullptr) check(c.holds(record), __FILE__, __LINE__, c.name);
    // What the record says was sent is what reached the module.
    if (c.expected == BT_OK && record.CommandText[0] != '\0') {
      check(watch.received(log_escaped(record.CommandText)), __FILE__, __LINE__, c.name);
    }
  }
  CHECK_EQ(CALL(btPortClose)(), 0);
}

}  // namespace

void run_client_cases(const std::string& dll_path) {
  library = LoadLibraryA(dll_path.c_str());
  run_case("client: Brimtally.dll loads by path", [] { CHECK(library != nullptr); });
  if (library == nullptr) return;
  run_case("client: exports by plain name, records by value", exports_and_records);
  for (const char* name : kExports) {
    if (GetProcAddress(library, name) == nullptr) return;  // nothing more can run
  }
  run_case("client: open codes", open_codes);
  run_case("client: one table of calls against the module", the_table_against_the_module);
  FreeLibrary(library);
  library = nullptr;
}

}  // namespace wintest
