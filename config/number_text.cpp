// SPDX-License-Identifier: MIT
#include "number_text.h"

namespace {
bool skipped(QChar c) {
  return c == ' ' || c == '\t' || c == '\n';
}
}  // namespace

double leadingNumber(const QString& text) {
  QString number;
  bool digits = false;
  bool point = false;
  for (const QChar c : text) {
    if (skipped(c)) continue;
    if ((c == '-' || c == '+') && number.isEmpty()) {
      number += c;
    } else if (c >= '0' && c <= '9') {
      number += c;
      digits = true;
    } else if (c == '.' && !point) {
      number += c;
      point = true;
    } else {
      break;
    }
  }
  return digits ? number.toDouble() : 0.0;
}

std::optional<uint32_t> wholeDecimal(const QString& text) {
  const QString t = text.trimmed();
  if (t.isEmpty()) return std::nullopt;
  uint64_t value = 0;
  for (const QChar c : t) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<uint64_t>(c.unicode() - '0');
    if (value > 2147483647u) return std::nullopt;
  }
  return static_cast<uint32_t>(value);
}

QString hexText(uint32_t value, int minDigits) {
  return QString("%1").arg(value, minDigits, 16, QChar('0')).toUpper();
}

int64_t divideRoundHalfEven(int64_t numerator, int64_t denominator) {
  const int64_t quotient = numerator / denominator;
  const int64_t twiceRest = (numerator % denominator) * 2;
  if (twiceRest > denominator || (twiceRest == denominator && quotient % 2 == 1)) {
    return quotient + 1;
  }
  return quotient;
}
