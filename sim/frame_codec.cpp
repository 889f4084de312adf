// SPDX-License-Identifier: MIT
// Checksums and hexadecimal fields of framed lines.
#include "frame_codec.h"

namespace sim {

namespace {
constexpr char kDigits[] = "0123456789ABCDEF";

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}
}  // namespace

uint8_t frame_checksum(std::string_view line) {
  unsigned sum = 0;
  for (size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '\n' || c == '\r' || c == '\0') break;
    sum += (i == 1 || i == 2) ? static_cast<unsigned>('0') : static_cast<unsigned char>(c);
  }
  return static_cast<uint8_t>((256 - sum % 256) % 256);
}

bool frame_checksum_valid(std::string_view line) {
  if (line.size() < 3) return false;
  const int hi = hex_value(line[1]);
  const int lo = hex_value(line[2]);
  if (hi < 0 || lo < 0) return false;
  return frame_checksum(line) == hi * 16 + lo;
}

std::string hex_digits(uint32_t value, int width) {
  std::string out(static_cast<size_t>(width), '0');
  for (int i = width - 1; i >= 0; --i) {
    out[static_cast<size_t>(i)] = kDigits[value & 0xF];
    value >>= 4;
  }
  return out;
}

std::string hex_plain(uint32_t value) {
  std::string out;
  do {
    out.insert(out.begin(), kDigits[value & 0xF]);
    value >>= 4;
  } while (value != 0);
  return out;
}

std::optional<uint32_t> parse_hex(std::string_view text, int max_digits) {
  if (text.empty() || text.size() > static_cast<size_t>(max_digits)) return std::nullopt;
  uint32_t value = 0;
  for (char c : text) {
    const int v = hex_value(c);
    if (v < 0) return std::nullopt;
    value = value * 16 + static_cast<uint32_t>(v);
  }
  return value;
}

void stamp_checksum(std::string& line) {
  if (line.size() < 3) return;
  const std::string cs = hex_digits(frame_checksum(line), 2);
  line[1] = cs[0];
  line[2] = cs[1];
}

std::string build_reply(std::string_view address, std::string_view body) {
  std::string line = "$00 ";
  line += address;
  line += body;
  stamp_checksum(line);
  return line;
}

}  // namespace sim
