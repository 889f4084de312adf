// SPDX-License-Identifier: MIT
#include "command_line.h"

#include <string>

#include "hex_codec.h"
#include "record_text.h"

namespace bt {

namespace {

std::string line_head(const ModuleRecord& record, std::string_view letters) {
  std::string line = "#00 ";
  line += field_text(record.ModuleAddress);
  line += ' ';
  line += letters;
  return line;
}

// Puts the checksum over the "00" (the sum is taken with them in place) and
// closes the line.
void finish_line(std::string& line) {
  char digits[3];
  hex_encode(line_checksum(line), 2, digits);
  line[1] = digits[0];
  line[2] = digits[1];
  line += "\n\r";
}

void store_line(ModuleRecord& record, const std::string& line) {
  set_field_text(record.CommandText, line);
}

}  // namespace

void build_command(ModuleRecord& record, std::string_view letters,
                   std::initializer_list<HexArg> args) {
  std::string line = line_head(record, letters);
  for (const HexArg& arg : args) {
    char digits[5];
    hex_encode(arg.value, arg.width, digits);
    line += ' ';
    line += digits;
  }
  finish_line(line);
  store_line(record, line);
}

bool build_print_command(ModuleRecord& record) {
  std::string line = line_head(record, "S=");
  line += field_text(record.MessageText);
  finish_line(line);
  if (line.size() > kMaxCommandLength) return false;
  store_line(record, line);
  return true;
}

}  // namespace bt
