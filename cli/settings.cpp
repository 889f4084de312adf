#include "settings.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "exit_codes.h"

namespace cli {

namespace {

constexpr int kChannelCount = 6;
constexpr int kFirstWideChannel = 4;  // channels 4 and 5 are 12-bit

int16_t s16(int32_t v) {
  return static_cast<int16_t>(v);
}

bool parse_number(const std::string& text, int64_t& value) {
  const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  const std::string digits = hex ? text.substr(2) : text;
  const std::string allowed = hex ? "0123456789abcdefABCDEF" : "0123456789";
  if (digits.empty() || digits.size() > 12 ||
      digits.find_first_not_of(allowed) != std::string::npos) {
    return false;
  }
  value = std::strtoll(digits.c_str(), nullptr, hex ? 16 : 10);
  return true;
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

std::vector<int32_t> parse_arguments(const Setting& setting,
                                     const std::vector<std::string>& texts) {
  std::vector<int32_t> values;
  for (size_t i = 0; i < setting.arguments.size(); ++i) {
    const SettingArgument& argument = setting.arguments[i];
    int digits = argument.digits;
    // The limits of the 8-bit channels go on the wire in two digits.
    if (setting.name == "analog-limits" && i > 0 && values[0] < kFirstWideChannel) digits = 2;
    const int64_t largest = (int64_t{1} << (4 * digits)) - 1;
    const int64_t limit = setting.name == "analog-limits" && i == 0 ? kChannelCount - 1 : largest;
    int64_t value = 0;
    const std::string where =
        "set " + std::string(setting.name) + ": " + std::string(argument.name) + " " + texts[i];
    if (!parse_number(texts[i], value)) {
      throw Failure(kExitUsage, where +
                                    " is not a number (decimal, or hexadecimal after 0x); "
                                    "nothing sent");
    }
    if (value > limit) {
      throw Failure(kExitUsage, where + " is out of range: the module takes 0 to " +
                                    std::to_string(limit) + "; nothing sent");
    }
    values.push_back(static_cast<int32_t>(value));
  }
  return values;
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

}  // namespace cli
