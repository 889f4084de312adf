// SPDX-License-Identifier: MIT
// Records and reply lines for the library tests.
#ifndef BRIMTALLY_TESTS_LIBRARY_RECORD_FIXTURE_H
#define BRIMTALLY_TESTS_LIBRARY_RECORD_FIXTURE_H

#include <cstdio>
#include <cstring>
#include <string>

#include "brimtally.h"

namespace bt_test {

// A record as btInitDLL makes it, with an address.
inline ModuleRecord valid_record(const char* address = "01") {
  ModuleRecord record;
  std::memset(&record, 0, sizeof record);
  std::strcpy(record.DllVersion, BT_DLL_VERSION);
  std::strcpy(record.ModuleAddress, address);
  record.ReplyTimeout = 30;
  return record;
}

// Replaces the "??" at positions 1 and 2 of a line with the checksum that
// makes it valid, worked out here independently of the library.
inline std::string with_checksum(std::string line) {
  line[1] = line[2] = '0';
  unsigned sum = 0;
  for (char c : line) {
    if (c == '\r' || c == '\n') break;
    sum += static_cast<unsigned char>(c);
  }
  char digits[3];
  std::snprintf(digits, sizeof digits, "%02X", (256 - sum % 256) % 256);
  line[1] = digits[0];
  line[2] = digits[1];
  return line;
}

}  // namespace bt_test

#endif  // BRIMTALLY_TESTS_LIBRARY_RECORD_FIXTURE_H
