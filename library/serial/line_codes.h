// SPDX-License-Identifier: MIT
// The line-parameter codes every driver kind stores and the dump prints, and
// the checks that turn set_params' arguments into them.
#ifndef BRIMTALLY_SERIAL_LINE_CODES_H
#define BRIMTALLY_SERIAL_LINE_CODES_H

#include <cstdint>

namespace bt {

enum ParityCode : uint8_t { kParityNone = 0, kParityOdd, kParityEven, kParityMark, kParitySpace };
enum StopBitsCode : uint8_t { kStopOne = 0, kStopOneAndHalf = 1, kStopTwo = 2 };

// The code of a parity letter, compared without regard to case; -1 for any
// other value. Any int may arrive here, so no locale call sees it.
inline int parity_code(int letter) {
  switch (letter >= 'a' && letter <= 'z' ? letter - ('a' - 'A') : letter) {
    case 'N':
      return kParityNone;
    case 'O':
      return kParityOdd;
    case 'E':
      return kParityEven;
    case 'M':
      return kParityMark;
    case 'S':
      return kParitySpace;
    default:
      return -1;
  }
}

// The code for one or two stop bits; -1 for any other count.
inline int stop_bits_code(int stop_bits) {
  if (stop_bits == 1) return kStopOne;
  if (stop_bits == 2) return kStopTwo;
  return -1;
}

}  // namespace bt

#endif  // BRIMTALLY_SERIAL_LINE_CODES_H
