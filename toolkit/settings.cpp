// SPDX-License-Identifier: MIT
#include "settings.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "exit_codes.h"
#include "network_name.h"

namespace toolkit {

namespace {

constexpr int kChannelCount = 6;
constexpr int kFirstWideChannel = 4;  // channels 4 and 5 are 12-bit

int16_t s16(int32_t v) {
  return static_cast<int16_t>(v);
}

enum class Number { kOk, kNotANumber, kTooLarge };

// Decimal or 0x hexadecimal; a minus sign or more digits than any field
// holds make a number too large (or small) for the module, not a non-number.
Number parse_number(const std::string& text, int64_t& value) {
  const bool negative = !text.empty() && text[0] == '-';
  const std::string unsigned_text = negative ? text.substr(1) : text;
  const bool hex = unsigned_text.size() > 2 && unsigned_text[0] == '0' &&
                   (unsigned_text[1] == 'x' || unsigned_text[1] == 'X');
  std::string digits = hex ? unsigned_text.substr(2) : unsigned_text;
  const std::string allowed = hex ? "0123456789abcdefABCDEF" : "0123456789";
  if (digits.empty() || digits.find_first_not_of(allowed) != std::string::npos) {
    return Number::kNotANumber;
  }
  digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size() - 1));
  if (digits.size() > 12) return Number::kTooLarge;
  value = std::strtoll(digits.c_str(), nullptr, hex ? 16 : 10);
  if (negative && value != 0) return Number::kTooLarge;
  return Number::kOk;
}

std::string both_bases(int32_t value) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%X", static_cast<unsigned>(value));
  return std::to_string(value) + " (" + hex + ")";
}

}  // namespace

const std::vector<Setting>& settings() {
  static const std::vector<Setting> table = {
      {"analog-out",
       "set analog outputs 0 and 1 (0-4095 each)",
       {{"VALUE0", 3}, {"VALUE1", 3}},
       [](ModuleRecord* r, const std::vector<int32_t>& v) {
         return btSetAnalogOut(r, s16(v[0]), s16(v[1]));
       }},
      {"analog-limits",
       "set the low and high alarm limits of channel 0-5 (0-255; 0-4095 for 4 and 5)",
       {{"CHANNEL", 1}, {"LOW", 3}, {"HIGH", 3}},
       [](ModuleRecord* r, const std::vector<int32_t>& v) {
         return btSetAnalogLimits(r, s16(v[0]), s16(v[1]), s16(v[2]));
       }},
      {"digital-out",
       "set the digital output bits (0-255)",
       {{"BITS", 2}},
       [](ModuleRecord* r, const std::vector<int32_t>& v) {
         return btSetDigitalOut(r, s16(v[0]));
       }},
      {"direction",
       "set the digital port directions (0-255, bit 1 = input)",
       {{"BITS", 2}},
       [](ModuleRecord* r, const std::vector<int32_t>& v) { return btSetDirection(r, s16(v[0])); }},
      {"pwm",
       "set the PWM period and percent (0-65535 each)",
       {{"PERIOD", 4}, {"PERCENT", 4}},
       [](ModuleRecord* r, const std::vector<int32_t>& v) { return btSetPWM(r, v[0], v[1]); }},
      {"debounce",
       "set the debounce value (0-255)",
       {{"VALUE", 2}},
       [](ModuleRecord* r, const std::vector<int32_t>& v) { return btSetDebounce(r, s16(v[0])); }},
      {"reset-min-max",
       "clear the minimum and maximum of channels 4 and 5",
       {},
       [](ModuleRecord* r, const std::vector<int32_t>&) { return btResetMinMax(r); }},
      {"reset-totalizer",
       "clear the totalizer",
       {},
       [](ModuleRecord* r, const std::vector<int32_t>&) { return btResetTotalizer(r); }},
  };
  return table;
}

const Setting* find_setting(std::string_view name) {
  for (const Setting& s : settings()) {
    if (s.name == name) return &s;
  }
  return nullptr;
}

std::vector<int32_t> parse_arguments(const Setting& setting, const std::vector<std::string>& texts,
                                     Limits limits) {
  std::vector<int32_t> values;
  for (size_t i = 0; i < setting.arguments.size(); ++i) {
    const SettingArgument& argument = setting.arguments[i];
    int digits = argument.digits;
    // The limits of the 8-bit channels go on the wire in two digits.
    if (setting.name == "analog-limits" && i > 0 && values[0] < kFirstWideChannel) digits = 2;
    const int64_t largest = (int64_t{1} << (4 * digits)) - 1;
    const int64_t limit = setting.name == "analog-limits" && i == 0 ? kChannelCount - 1 : largest;
    int64_t value = 0;
    const std::string where = "set " + std::string(setting.name) + ": " +
                              std::string(argument.name) + " " + shown_value(texts[i]);
    const Number parsed = parse_number(texts[i], value);
    if (parsed == Number::kNotANumber) {
      throw Failure(kExitUsage, where +
                                    " is not a number (decimal, or hexadecimal after 0x); "
                                    "nothing sent");
    }
    if (parsed == Number::kTooLarge || value > limit) {
      throw Failure(kExitUsage, where + " is out of range: the module takes 0 to " +
                                    std::to_string(limit) + "; nothing sent");
    }
    values.push_back(static_cast<int32_t>(value));
  }
  if (limits == Limits::kChecked) check_limits(setting, values);
  return values;
}

std::vector<int32_t> parse_arguments(const Setting& setting,
                                     const std::vector<std::string>& texts) {
  return parse_arguments(setting, texts, Limits::kChecked);
}

void check_limits(const Setting& setting, const std::vector<int32_t>& values) {
  // A low limit above the high one makes the channel's alarm meaningless.
  if (setting.name != "analog-limits" || values.size() != 3 || values[1] <= values[2]) return;
  throw Failure(kExitUsage, "set analog-limits: LOW " + both_bases(values[1]) + " is above HIGH " +
                                both_bases(values[2]) +
                                "; the low limit must not be above the high one (--allow-crossed "
                                "sends it anyway); nothing sent");
}

size_t print_capacity(size_t address_length) {
  // "#cc " + address + " S=" + text + LF CR must fit CommandText with its NUL.
  const size_t frame = 4 + address_length + 3 + 2;
  return BT_COMMAND_LEN - 1 > frame ? BT_COMMAND_LEN - 1 - frame : 0;
}

std::string sent_line(const ModuleRecord& record) {
  std::string line(record.CommandText, strnlen(record.CommandText, BT_COMMAND_LEN));
  line.erase(line.find_last_not_of("\r\n") + 1);
  return line;
}

void check_print_text(const std::string& text, size_t address_length) {
  const size_t capacity = print_capacity(address_length);
  const bool printable =
      std::all_of(text.begin(), text.end(), [](char c) { return c >= 32 && c <= 126; });
  if (text.size() > capacity || !printable) {
    throw Failure(kExitUsage, "set print: the text must be printable ASCII of at most " +
                                  std::to_string(capacity) + " characters; nothing sent");
  }
}

}  // namespace toolkit
