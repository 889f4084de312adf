// SPDX-License-Identifier: MIT
// Reading the configuration word from the text after "C:".
#pragma once

#include <QString>
#include <cstdint>

// Blanks, tabs and line feeds anywhere are skipped; hex digits of either case
// are read up to the first other character, at most eight of them; no digits
// give 0. 8000..FFFF read as a signed 16-bit number, longer values as signed
// 32-bit, and the result is widened with its sign.
int32_t parseConfigWord(const QString& digits);
