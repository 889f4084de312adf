// SPDX-License-Identifier: MIT
// The program's reading of numbers typed into its boxes: the lenient reading
// of a leading number and the strict whole decimal. Any text must read without
// fault and within range; a number written out, with blanks around it and
// anything that cannot continue it after, must read back as itself.
//
// Input: four bytes of number, a style byte, then free text.
#include <QString>
#include <cmath>

#include "fuzz_input.h"
#include "number_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  bt_fuzz::FuzzInput in(data, size);
  uint32_t value = in.u16();
  value |= static_cast<uint32_t>(in.u16()) << 16;
  const uint8_t style = in.byte();
  const std::string text = in.rest();

  for (const QString& any :
       {QString::fromUtf8(text.data(), static_cast<int>(text.size())),
        QString::fromLatin1(text.data(), static_cast<int>(text.size())),
        QString(reinterpret_cast<const QChar*>(text.data()), static_cast<int>(text.size() / 2))}) {
    FUZZ_CHECK(!std::isnan(leadingNumber(any)));
    const auto whole = wholeDecimal(any);
    FUZZ_CHECK(!whole || *whole <= 2147483647u);
  }

  // Written out: blanks around, then text starting with a letter.
  static const char* const kBlanks[] = {"", " ", "\t", " \n "};
  const QString blank = kBlanks[style % 4];
  const QString digits = QString::number(value);
  const QString after = QString::fromUtf8(text.data(), static_cast<int>(text.size()));
  const bool negative = style & 4;
  const QString lenient = blank + (negative ? "-" : "") + digits + blank + "x" + after;
  FUZZ_CHECK(leadingNumber(lenient) == (negative ? -1.0 : 1.0) * value);
  const auto whole = wholeDecimal(blank + digits + blank);
  FUZZ_CHECK(value <= 2147483647u ? whole && *whole == value : !whole);
  FUZZ_CHECK(!wholeDecimal(digits + "x"));
  return 0;
}
