// SPDX-License-Identifier: MIT
// Numbers as the editors read and the module's commands write them.
#pragma once

#include <QString>
#include <cstdint>
#include <optional>

// The number a limit box shows, read leniently for the crossing guard: blanks,
// tabs and line feeds anywhere are skipped, an optional sign, digits and one
// decimal point are read up to the first character that cannot continue the
// number, and a text without a number reads as 0.
double leadingNumber(const QString& text);

// A box's text as a whole decimal number from 0 to 2147483647, blanks around
// it allowed; nothing for anything else (empty, signed, fractional, too large).
std::optional<uint32_t> wholeDecimal(const QString& text);

// Upper-case hexadecimal, padded with leading zeros to `minDigits`.
QString hexText(uint32_t value, int minDigits = 1);

// numerator / denominator brought to the nearest integer, a half going to the
// even neighbour. Both non-negative, denominator above 0.
int64_t divideRoundHalfEven(int64_t numerator, int64_t denominator);
