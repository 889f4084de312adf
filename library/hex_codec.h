// SPDX-License-Identifier: MIT
// Fixed-width hexadecimal text and the line checksum shared by commands and
// replies.
#ifndef BRIMTALLY_HEX_CODEC_H
#define BRIMTALLY_HEX_CODEC_H

#include <cstdint>
#include <string_view>

namespace bt {

// Writes the lowest `width` digits (upper case) of value's 16-bit two's
// complement form into out, leading zeros kept, followed by a NUL. width <= 4.
void hex_encode(int16_t value, int width, char* out);

// The value of one digit, either case; any other character counts as 0.
int hex_digit_value(char c);

// Decodes exactly the characters of digits, without looking for separators.
uint16_t hex_decode(std::string_view digits);
uint32_t hex_decode_wide(std::string_view digits);

// Sum of the character codes up to the first LF, CR or NUL.
uint16_t line_sum(std::string_view line);

// The byte that makes a line's sum 0 modulo 256 when added to it.
uint8_t line_checksum(std::string_view line);

}  // namespace bt

#endif  // BRIMTALLY_HEX_CODEC_H
