// The hexadecimal codec and the line checksum: encoding round-trips at every
// width, decoding any text agrees with digit-by-digit reading, and the
// checksum byte always brings a line's sum to 0 modulo 256.
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz_input.h"
#include "hex_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  bt_fuzz::FuzzInput in(data, size);
  const auto value = static_cast<int16_t>(in.u16());
  for (int width = 1; width <= 4; ++width) {
    char out[5];
    std::memset(out, 'Z', sizeof out);
    bt::hex_encode(value, width, out);
    FUZZ_CHECK(out[width] == '\0');
    for (int i = 0; i < width; ++i) {
      FUZZ_CHECK((out[i] >= '0' && out[i] <= '9') || (out[i] >= 'A' && out[i] <= 'F'));
    }
    const uint16_t mask = width == 4 ? 0xFFFF : static_cast<uint16_t>((1u << (4 * width)) - 1);
    FUZZ_CHECK(bt::hex_decode(std::string_view(out, width)) ==
               (static_cast<uint16_t>(value) & mask));
  }

  const std::string text = in.rest();
  // Decoding: upper and lower case agree, anything else reads as 0, and the
  // narrow form is the low 16 bits of the wide one.
  uint32_t wide = 0;
  for (char c : text) {
    int digit = 0;
    if (c >= '0' && c <= '9') digit = c - '0';
    if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    FUZZ_CHECK(bt::hex_digit_value(c) == digit);
    wide = wide * 16 + static_cast<uint32_t>(digit);
  }
  FUZZ_CHECK(bt::hex_decode_wide(text) == wide);
  FUZZ_CHECK(bt::hex_decode(text) == static_cast<uint16_t>(wide));

  // The sum stops at the first LF, CR or NUL; the checksum completes it.
  const size_t end = text.find_first_of(std::string_view("\n\r\0", 3));
  const std::string counted = text.substr(0, end);
  unsigned sum = 0;
  for (char c : counted) sum += static_cast<uint8_t>(c);
  FUZZ_CHECK(bt::line_sum(text) == static_cast<uint16_t>(sum));
  FUZZ_CHECK(((bt::line_sum(text) + bt::line_checksum(text)) & 0xFF) == 0);
  FUZZ_CHECK(bt::line_checksum(text) == bt::line_checksum(counted));
  return 0;
}
