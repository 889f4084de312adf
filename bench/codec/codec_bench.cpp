// SPDX-License-Identifier: MIT
// Lines per second of the library's own line work, without the port: building
// framed command lines and checking and scanning replies into the record.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "brimtally.h"
#include "command_line.h"
#include "reply_scanner.h"

namespace {

ModuleRecord fresh_record() {
  ModuleRecord record{};
  std::strcpy(record.DllVersion, BT_DLL_VERSION);
  std::strcpy(record.ModuleAddress, "01");
  return record;
}

// A reply as the module sends it for QE, with a valid checksum.
std::string signed_reply(std::string line) {
  line[1] = line[2] = '0';
  unsigned sum = 0;
  for (char c : line) sum += static_cast<unsigned char>(c);
  char digits[3];
  std::snprintf(digits, sizeof digits, "%02X", (256 - sum % 256) % 256);
  line[1] = digits[0];
  line[2] = digits[1];
  return line;
}

void BuildQuery(benchmark::State& state) {
  ModuleRecord record = fresh_record();
  for (auto _ : state) {
    bt::build_command(record, "QE");
    benchmark::DoNotOptimize(record.CommandText);
  }
  if (std::strcmp(record.CommandText, "#46 01 QE\n\r") != 0) state.SkipWithError("wrong line");
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BuildQuery);

void BuildSettingWithArguments(benchmark::State& state) {
  ModuleRecord record = fresh_record();
  int16_t value = 0;
  for (auto _ : state) {
    bt::build_command(record, "SL", {{4, 1}, {value, 3}, {0xE00, 3}});
    benchmark::DoNotOptimize(record.CommandText);
    ++value;
  }
  if (std::strncmp(record.CommandText, "#", 1) != 0) state.SkipWithError("no line built");
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BuildSettingWithArguments);

// The scanner overwrites the checksum digits, so each pass restores the line
// first; the copy of 100 bytes is part of the measured cost.
void ScanFullReply(benchmark::State& state) {
  ModuleRecord record = fresh_record();
  const std::string reply = signed_reply(
      "$00 01 A0:12 A1:34 A2:56 A3:78 A4:123 A5:456 D0:100 D1:200 I:3C O:0F B:F0 F:0040 "
      "T:000123 C:02CF");
  char line[BT_REPLY_LEN] = {};
  std::memcpy(line, reply.c_str(), reply.size() + 1);
  for (auto _ : state) {
    std::memcpy(record.ReplyText, line, sizeof line);
    benchmark::DoNotOptimize(bt::scan_reply_text(record, bt::ScanMode::kFields));
  }
  if (record.Status != 0 || record.ConfigBits != 0x2CF || record.Totalizer != 0x123) {
    state.SkipWithError("reply not scanned");
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(ScanFullReply);

void ScanShortReply(benchmark::State& state) {
  ModuleRecord record = fresh_record();
  const std::string reply = signed_reply("$00 01 I:3C");
  char line[BT_REPLY_LEN] = {};
  std::memcpy(line, reply.c_str(), reply.size() + 1);
  for (auto _ : state) {
    std::memcpy(record.ReplyText, line, sizeof line);
    benchmark::DoNotOptimize(bt::scan_reply_text(record, bt::ScanMode::kFields));
  }
  if (record.Status != 0 || record.DigitalIn != 0x3C) state.SkipWithError("reply not scanned");
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(ScanShortReply);

}  // namespace
