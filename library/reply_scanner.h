// SPDX-License-Identifier: MIT
// Checking a reply line and storing its tagged fields in the record.
#ifndef BRIMTALLY_REPLY_SCANNER_H
#define BRIMTALLY_REPLY_SCANNER_H

#include <cstdint>

#include "brimtally.h"

namespace bt {

enum class ScanMode {
  kFields,  // tagged fields of the queries
  kKeys     // keypad characters for btKey
};

// Checks "$", the checksum (its digits become "00" in ReplyText) and the
// address of the reply held in ReplyText, then stores what follows the address.
// Sets Status and returns it.
int16_t scan_reply_text(ModuleRecord& record, ScanMode mode);

}  // namespace bt

#endif  // BRIMTALLY_REPLY_SCANNER_H
