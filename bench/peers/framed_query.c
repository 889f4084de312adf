/* SPDX-License-Identifier: MIT */
#include "framed_query.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static unsigned sum_to_line_end(const char* text) {
  unsigned sum = 0;
  for (; *text != '\0' && *text != '\r' && *text != '\n'; ++text) sum += (unsigned char)*text;
  return sum;
}

void framed_query(const char* address, const char* letters, char* out, size_t size) {
  snprintf(out, size, "#00 %s %s", address, letters);
  char digits[3];
  snprintf(digits, sizeof digits, "%02X", (256 - sum_to_line_end(out) % 256) % 256);
  out[1] = digits[0];
  out[2] = digits[1];
  strncat(out, "\n\r", size - strlen(out) - 1);
}

int reply_is_valid(const char* reply, const char* address) {
  const size_t n = strlen(address);
  if (reply[0] != '$' || strlen(reply) < 4 + n) return 0;
  const char digits[3] = {reply[1], reply[2], '\0'};
  char* end = NULL;
  const unsigned long checksum = strtoul(digits, &end, 16);
  if (end != digits + 2) return 0;
  /* The sum is taken with "00" in the checksum positions. */
  const unsigned sum =
      sum_to_line_end(reply) - (unsigned char)reply[1] - (unsigned char)reply[2] + 2 * '0';
  return (sum + checksum) % 256 == 0 && strncmp(reply + 4, address, n) == 0;
}
