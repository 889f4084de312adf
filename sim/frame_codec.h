// SPDX-License-Identifier: MIT
// Checksums, hexadecimal fields and reply framing of the "#"/"$" protocol.
#ifndef BRIMTALLY_SIM_FRAME_CODEC_H
#define BRIMTALLY_SIM_FRAME_CODEC_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sim {

// Checksum byte of a framed line: the two's complement of the low byte of the
// character sum, taken up to the first LF, CR or NUL with positions 1 and 2
// counted as "00".
uint8_t frame_checksum(std::string_view line);

// True when the two digits at positions 1 and 2 match the line's checksum.
bool frame_checksum_valid(std::string_view line);

// Exactly `width` upper-case hexadecimal digits of the low bits of `value`.
std::string hex_digits(uint32_t value, int width);

// Upper-case hexadecimal without leading zeros ("0" for zero).
std::string hex_plain(uint32_t value);

// A whole token of 1 to `max_digits` hexadecimal digits (either case).
std::optional<uint32_t> parse_hex(std::string_view text, int max_digits);

// "$cc " + address + body, with the checksum filled in; no line end.
std::string build_reply(std::string_view address, std::string_view body);

// Puts the checksum of `line` into its positions 1 and 2.
void stamp_checksum(std::string& line);

}  // namespace sim

#endif  // BRIMTALLY_SIM_FRAME_CODEC_H
