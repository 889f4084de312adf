// SPDX-License-Identifier: MIT
// Bounded access to the record's text fields and the version check that guards
// every typed operation.
#ifndef BRIMTALLY_RECORD_TEXT_H
#define BRIMTALLY_RECORD_TEXT_H

#include <cstddef>
#include <string_view>

#include "brimtally.h"

namespace bt {

inline constexpr std::string_view kDllVersion = BT_DLL_VERSION;

// The text of a fixed-width field: up to its NUL, or the whole width when the
// caller left no NUL in it. Never reads past the field.
template <size_t N>
std::string_view field_text(const char (&field)[N]) {
  size_t length = 0;
  while (length < N && field[length] != '\0') ++length;
  return {field, length};
}

// Writes text into a fixed-width field with a closing NUL, cutting it to fit.
template <size_t N>
void set_field_text(char (&field)[N], std::string_view text) {
  const size_t length = text.size() < N ? text.size() : N - 1;
  for (size_t i = 0; i < length; ++i) field[i] = text[i];
  field[length] = '\0';
}

// Byte-for-byte, case-sensitive comparison of DllVersion with the library's text.
inline bool version_matches(const ModuleRecord& record) {
  return field_text(record.DllVersion) == kDllVersion;
}

}  // namespace bt

#endif  // BRIMTALLY_RECORD_TEXT_H
