// SPDX-License-Identifier: MIT
// The settings the tool offers: one per setting export, with its arguments in
// the export's order and the largest value the wire field carries.
#ifndef BRIMTALLY_TOOLKIT_SETTINGS_H
#define BRIMTALLY_TOOLKIT_SETTINGS_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "brimtally.h"

namespace toolkit {

struct SettingArgument {
  std::string_view name;  // "PERIOD"
  int digits;             // hexadecimal digits on the wire
};

struct Setting {
  std::string_view name;  // "pwm"
  std::string_view help;
  std::vector<SettingArgument> arguments;
  // Sends the setting with checked values; returns the export's status.
  int16_t (*send)(ModuleRecord* record, const std::vector<int32_t>& values);
};

const std::vector<Setting>& settings();
// The setting of that name, or null.
const Setting* find_setting(std::string_view name);

// Whether parse_arguments refuses analog limits whose low is above the high.
enum class Limits { kChecked, kCrossedAllowed };

// A number as written on the command line: decimal, or hexadecimal after 0x.
// Throws Failure(kExitUsage) when it is neither or does not fit the field:
// the message names the setting, the argument and the range. The values
// then pass check_limits unless `limits` allows crossed ones.
std::vector<int32_t> parse_arguments(const Setting& setting, const std::vector<std::string>& texts,
                                     Limits limits);
std::vector<int32_t> parse_arguments(const Setting& setting, const std::vector<std::string>& texts);

// Throws Failure(kExitUsage) for analog-limits values whose low limit lies
// above the high one (equal is fine); any other setting passes.
void check_limits(const Setting& setting, const std::vector<int32_t>& values);

// The longest text `print` can send for an address of that length.
size_t print_capacity(size_t address_length);
// The command line a setting put in the record, without its line end.
std::string sent_line(const ModuleRecord& record);

// Throws Failure(kExitUsage) unless `text` is printable ASCII that fits.
void check_print_text(const std::string& text, size_t address_length);

}  // namespace toolkit

#endif  // BRIMTALLY_TOOLKIT_SETTINGS_H
