// SPDX-License-Identifier: MIT
#include "reply_scanner.h"

#include <string_view>

#include "hex_codec.h"
#include "record_text.h"

namespace bt {

namespace {

constexpr size_t kAddressPosition = 4;
constexpr int kSerialGroups = 8;
constexpr size_t kSerialGroupStride = 3;  // two digits and an unchecked separator
constexpr size_t kMaxKeys = BT_KEY_LEN - 1;

bool ends_line(char c) {
  return c == '\n' || c == '\r';
}

int field_width(char tag, int channel) {
  switch (tag) {
    case 'A':
      return channel >= 4 ? 3 : 2;
    case 'B':
    case 'I':
    case 'O':
      return 2;
    case 'C':
    case 'F':
      return 4;
    case 'T':
      return 6;
    case 'D':
    case 'V':
    case 'X':
    case 'N':
      return 3;
    default:
      return 0;  // not a tag
  }
}

bool is_tag(char c) {
  return c == 'S' || field_width(c, 0) != 0;
}

// Stores one input/output channel field's value.
void store_indexed(ModuleRecord& record, char tag, int index, int16_t value) {
  if (tag == 'D') {
    (index == 0 ? record.AnalogOut0 : record.AnalogOut1) = value;
    return;
  }
  int16_t* inputs[] = {&record.AnalogIn0, &record.AnalogIn1, &record.AnalogIn2,
                       &record.AnalogIn3, &record.AnalogIn4, &record.AnalogIn5};
  *inputs[index] = value;
}

// V:, X: and N: belong to whichever 12-bit channel was reported last.
void store_extreme(ModuleRecord& record, char tag, int channel, int16_t value) {
  const bool five = channel == 5;
  switch (tag) {
    case 'V':
      (five ? record.Analog5V : record.Analog4V) = value;
      break;
    case 'X':
      (five ? record.Analog5Max : record.Analog4Max) = value;
      break;
    default:
      (five ? record.Analog5Min : record.Analog4Min) = value;
      break;
  }
}

int16_t scan_fields(ModuleRecord& record, std::string_view text) {
  int channel = -1;  // no analog input seen yet in this reply
  size_t i = 0;
  while (i < text.size()) {
    const char tag = text[i];
    if (ends_line(tag)) break;
    ++i;
    if (!is_tag(tag)) continue;

    int index = -1;
    if (tag == 'A' || tag == 'D') {
      const char highest = tag == 'A' ? '5' : '1';
      if (i >= text.size() || text[i] < '0' || text[i] > highest) return BT_MALFORMED;
      index = text[i++] - '0';
    }
    if (i >= text.size() || text[i] != ':') return BT_MALFORMED;
    ++i;

    if (tag == 'S') {
      // Every group's digits must be present; the last separator may be the end.
      if (i + (kSerialGroups - 1) * kSerialGroupStride + 2 > text.size()) return BT_MALFORMED;
      for (int k = 0; k < kSerialGroups; ++k) {
        record.SerialNumber[k] =
            static_cast<int16_t>(hex_decode(text.substr(i + k * kSerialGroupStride, 2)));
      }
      return BT_OK;
    }
    if ((tag == 'V' || tag == 'X' || tag == 'N') && channel != 4 && channel != 5) {
      return BT_MALFORMED;
    }

    const size_t width = field_width(tag, index);
    if (i + width > text.size()) return BT_MALFORMED;
    const std::string_view digits = text.substr(i, width);
    i += width;
    const auto value = static_cast<int16_t>(hex_decode(digits));
    switch (tag) {
      case 'A':
        store_indexed(record, tag, index, value);
        channel = index;
        break;
      case 'D':
        store_indexed(record, tag, index, value);
        break;
      case 'B':
        record.PortDirection = value;
        break;
      case 'I':
        record.DigitalIn = value;
        break;
      case 'O':
        record.DigitalOut = value;
        break;
      case 'C':
        record.ConfigBits = static_cast<int32_t>(hex_decode_wide(digits));
        return BT_OK;
      case 'F':
        record.Frequency = static_cast<int32_t>(hex_decode_wide(digits));
        break;
      case 'T':
        record.Totalizer = static_cast<int32_t>(hex_decode_wide(digits));
        break;
      default:
        store_extreme(record, tag, channel, value);
        break;
    }
  }
  return BT_OK;
}

bool is_key(char c) {
  return c == ' ' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

int16_t scan_keys(ModuleRecord& record, std::string_view text) {
  size_t stored = 0;
  for (char c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (ends_line(c)) break;
    if (!is_key(c)) return BT_BAD_KEY;
    // Keys beyond what the field holds are checked but not kept, so the
    // text stays NUL-terminated inside KeyText.
    if (stored < kMaxKeys) record.KeyText[stored++] = c;
  }
  return BT_OK;
}

// The checks before the fields: "$", checksum, address.
int16_t check_reply(ModuleRecord& record) {
  const std::string_view text = field_text(record.ReplyText);
  if (text.empty() || text[0] != '$') return BT_NOT_A_REPLY;

  // A reply too short to carry both checksum digits cannot pass the check;
  // ReplyText is left as received.
  if (text.size() < 3) return BT_BAD_CHECKSUM;
  const uint16_t checksum = hex_decode(text.substr(1, 2));
  record.ReplyText[1] = '0';
  record.ReplyText[2] = '0';
  if (((line_sum(text) + checksum) & 0xFF) != 0) return BT_BAD_CHECKSUM;

  const std::string_view address = field_text(record.ModuleAddress);
  const std::string_view rest =
      text.size() > kAddressPosition ? text.substr(kAddressPosition) : std::string_view{};
  if (rest.substr(0, address.size()) != address) return BT_WRONG_ADDRESS;
  return BT_OK;
}

}  // namespace

int16_t scan_reply_text(ModuleRecord& record, ScanMode mode) {
  const int16_t checked = check_reply(record);
  if (checked != BT_OK) return record.Status = checked;
  const std::string_view text = field_text(record.ReplyText);
  const size_t start = kAddressPosition + field_text(record.ModuleAddress).size();
  const std::string_view body = start < text.size() ? text.substr(start) : std::string_view{};
  return record.Status =
             mode == ScanMode::kKeys ? scan_keys(record, body) : scan_fields(record, body);
}

}  // namespace bt
