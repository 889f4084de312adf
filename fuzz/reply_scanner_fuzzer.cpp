// SPDX-License-Identifier: MIT
// The reply scanner in both modes, over a record whose text fields may fill
// their whole width without a NUL and an arbitrary reply line.
//
// Input: a flags byte, the address (length byte, bytes), then the reply.
// Flags: bit 0 key mode; bit 1 copies the address from the reply so the
// address check can pass; bit 2 stamps a valid checksum so the field scan is
// reached; bits 3-4 fill the other text fields to their full width.
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "fuzz_input.h"
#include "hex_codec.h"
#include "reply_scanner.h"

namespace {

template <size_t N>
void fill(char (&field)[N], const std::string& text, bool whole_width) {
  std::memset(field, whole_width ? 'x' : 0, N);
  std::memcpy(field, text.data(), text.size() < N ? text.size() : N);
  if (!whole_width && text.size() >= N) field[N - 1] = '\0';
}

bool is_key(char c) {
  return c == ' ' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

// The record's numbers: everything from Status on.
constexpr size_t kNumbers = offsetof(ModuleRecord, Status);

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  bt_fuzz::FuzzInput in(data, size);
  const uint8_t flags = in.byte();
  const bool keys = flags & 1;
  std::string address = in.sized(BT_ADDRESS_LEN);
  std::string reply = in.bytes(BT_REPLY_LEN);

  // Exactly a record's size on the heap, so a read past its end is caught.
  auto record = std::make_unique<ModuleRecord>();
  std::memset(record.get(), 0x5A, sizeof *record);
  fill(record->DllVersion, BT_DLL_VERSION, flags & 8);
  if (flags & 2 && reply.size() > 4) address = reply.substr(4, address.size());
  fill(record->ModuleAddress, address, address.size() >= BT_ADDRESS_LEN);
  fill(record->CommandText, "#00 01 QE", flags & 16);
  fill(record->MessageText, "text", flags & 16);
  if (flags & 4 && reply.size() >= 3) {
    reply[1] = reply[2] = '0';
    char digits[3];
    bt::hex_encode(bt::line_checksum(reply), 2, digits);
    reply[1] = digits[0];
    reply[2] = digits[1];
  }
  fill(record->ReplyText, reply, reply.size() >= BT_REPLY_LEN);
  if (keys) std::memset(record->KeyText, 0, sizeof record->KeyText);  // as the query does

  const ModuleRecord before = *record;
  const int16_t status =
      bt::scan_reply_text(*record, keys ? bt::ScanMode::kKeys : bt::ScanMode::kFields);

  FUZZ_CHECK(status == record->Status);
  FUZZ_CHECK(status == BT_OK || status == BT_NOT_A_REPLY || status == BT_BAD_CHECKSUM ||
             status == BT_WRONG_ADDRESS || status == (keys ? BT_BAD_KEY : BT_MALFORMED));
  // The scan writes nothing but the checksum digits, the keys and the numbers.
  FUZZ_CHECK(std::memcmp(&before, record.get(), offsetof(ModuleRecord, ReplyText)) == 0);
  FUZZ_CHECK(std::memcmp(before.MessageText, record->MessageText, BT_MESSAGE_LEN) == 0);
  for (size_t i = 0; i < BT_REPLY_LEN; ++i) {
    FUZZ_CHECK(record->ReplyText[i] == before.ReplyText[i] ||
               ((i == 1 || i == 2) && record->ReplyText[i] == '0'));
  }
  if (!keys) FUZZ_CHECK(std::memcmp(before.KeyText, record->KeyText, BT_KEY_LEN) == 0);
  // A reply that fails its checks changes no value.
  if (status == BT_NOT_A_REPLY || status == BT_BAD_CHECKSUM || status == BT_WRONG_ADDRESS) {
    FUZZ_CHECK(std::memcmp(reinterpret_cast<const char*>(&before) + kNumbers + 2,
                           reinterpret_cast<const char*>(record.get()) + kNumbers + 2,
                           sizeof before - kNumbers - 2) == 0);
    FUZZ_CHECK(std::memcmp(before.KeyText, record->KeyText, BT_KEY_LEN) == 0);
  }
  if (keys) {
    FUZZ_CHECK(record->KeyText[BT_KEY_LEN - 1] == '\0');
    for (size_t i = 0; i < BT_KEY_LEN && record->KeyText[i] != '\0'; ++i) {
      FUZZ_CHECK(is_key(record->KeyText[i]));
    }
  }
  return 0;
}
