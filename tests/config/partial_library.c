/* SPDX-License-Identifier: MIT */
/* A library file that lacks most exports, for the binding's failure path. */
#include <stdint.h>

__attribute__((visibility("default"))) int16_t btPortOpen(int16_t port, uint16_t baud) {
  return (int16_t)(port * 1000 + baud / 100);
}
