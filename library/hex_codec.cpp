// SPDX-License-Identifier: MIT
#include "hex_codec.h"

namespace bt {

namespace {
constexpr char kDigits[] = "0123456789ABCDEF";
}  // namespace

void hex_encode(int16_t value, int width, char* out) {
  out[width] = '\0';
  for (int i = width - 1; i >= 0; --i) {
    out[i] = kDigits[value & 0xF];
    value = static_cast<int16_t>(value >> 4);  // arithmetic: -1 stays all ones
  }
}

int hex_digit_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return 0;
}

uint32_t hex_decode_wide(std::string_view digits) {
  uint32_t value = 0;
  for (char c : digits) value = value * 16 + static_cast<uint32_t>(hex_digit_value(c));
  return value;
}

uint16_t hex_decode(std::string_view digits) {
  return static_cast<uint16_t>(hex_decode_wide(digits));
}

uint16_t line_sum(std::string_view line) {
  uint16_t sum = 0;
  for (char c : line) {
    if (c == '\n' || c == '\r' || c == '\0') break;
    sum = static_cast<uint16_t>(sum + static_cast<unsigned char>(c));
  }
  return sum;
}

uint8_t line_checksum(std::string_view line) {
  return static_cast<uint8_t>(256 - (line_sum(line) & 0xFF));
}

}  // namespace bt
