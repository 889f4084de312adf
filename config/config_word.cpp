// SPDX-License-Identifier: MIT
#include "config_word.h"

int32_t parseConfigWord(const QString& digits) {
  uint32_t value = 0;
  int count = 0;
  for (const QChar c : digits) {
    if (c == ' ' || c == '\t' || c == '\n') continue;
    const int digit = QStringView(&c, 1).toInt(nullptr, 16);
    const bool isHex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    // Eight digits fill the word; a longer run cannot be a configuration word
    // and is cut there rather than overflowing.
    if (!isHex || count == 8) break;
    value = value * 16 + static_cast<uint32_t>(digit);
    ++count;
  }
  if (value >= 0x8000 && value <= 0xFFFF) return static_cast<int16_t>(value);
  return static_cast<int32_t>(value);
}
