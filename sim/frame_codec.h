#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sim {

// Checksum byte of a framed line: the two's complement of the low byte of the
// character sum, taken up to the first LF, CR or NUL with positions 1 and 2
// counted as "00".
uint8_t frameChecksum(std::string_view line);

// True when the two digits at positions 1 and 2 match the line's checksum.
bool frameChecksumValid(std::string_view line);

// Exactly `width` upper-case hexadecimal digits of the low bits of `value`.
std::string hexDigits(uint32_t value, int width);

// Upper-case hexadecimal without leading zeros ("0" for zero).
std::string hexPlain(uint32_t value);

// A whole token of 1 to `maxDigits` hexadecimal digits (either case).
std::optional<uint32_t> parseHex(std::string_view text, int maxDigits);

// "$cc " + address + body, with the checksum filled in; no line end.
std::string buildReply(std::string_view address, std::string_view body);

// Puts the checksum of `line` into its positions 1 and 2.
void stampChecksum(std::string& line);

}  // namespace sim
