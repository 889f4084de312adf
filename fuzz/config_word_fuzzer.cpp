// SPDX-License-Identifier: MIT
// The program's reading of the configuration word after "C:". Any text must
// read without fault; a word written as eight digits, with blanks strewn
// through it and anything but a digit after it, must read back as that word
// (16-bit words widened with their sign).
//
// Input: four bytes of word, a byte choosing case and blanks, then free text.
#include <QString>

#include "config_word.h"
#include "fuzz_input.h"

namespace {

QString written(uint32_t word, uint8_t style, const std::string& tail) {
  static const char kUpper[] = "0123456789ABCDEF";
  static const char kLower[] = "0123456789abcdef";
  const char* digits = style & 1 ? kLower : kUpper;
  static const char kBlanks[] = {' ', '\t', '\n'};
  QString text;
  for (int i = 7; i >= 0; --i) {
    if (style & 2 && i % 2 == 0) text += QChar(kBlanks[(style >> 2) % 3]);
    text += QChar(digits[(word >> (4 * i)) & 0xF]);
  }
  // Whatever follows must not continue the digits.
  const QString after = QString::fromUtf8(tail.data(), static_cast<int>(tail.size()));
  if (!after.isEmpty()) text += QChar('G') + after;
  return text;
}

int32_t widened(uint32_t word) {
  if (word >= 0x8000 && word <= 0xFFFF) return static_cast<int16_t>(word);
  return static_cast<int32_t>(word);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  bt_fuzz::FuzzInput in(data, size);
  uint32_t word = in.u16();
  word |= static_cast<uint32_t>(in.u16()) << 16;
  const uint8_t style = in.byte();
  const std::string text = in.rest();

  // Free text, as UTF-8 and as raw UTF-16 units.
  parseConfigWord(QString::fromUtf8(text.data(), static_cast<int>(text.size())));
  parseConfigWord(
      QString(reinterpret_cast<const QChar*>(text.data()), static_cast<int>(text.size() / 2)));
  parseConfigWord(QString::fromLatin1(text.data(), static_cast<int>(text.size())));

  FUZZ_CHECK(parseConfigWord(written(word, style, text)) == widened(word));
  return 0;
}
