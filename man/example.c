/* SPDX-License-Identifier: MIT */
/* Reads module 01 on COM1: configuration, serial number and inputs.
 * Build: cc example.c $(pkg-config --cflags --libs brimtally) */
#include <brimtally.h>
#include <stdio.h>
#include <string.h>

int main(void) {
  ModuleRecord module = btInitDLL(NULL);
  int16_t status = btPortOpen(1, 9600);
  if (status != BT_OK) {
    fprintf(stderr, "cannot open COM1: status %d\n", status);
    return 1;
  }
  strcpy(module.ModuleAddress, "01");
  /* 30 ms is too short for an all-I/O reply at 9600 baud. */
  module.ReplyTimeout = 250;

  status = btGetConfiguration(&module);
  if (status == BT_OK) status = btGetSerialNumber(&module);
  if (status == BT_OK) status = btGetAllIO(&module);
  btPortClose();
  if (status != BT_OK) {
    fprintf(stderr, "status %d: %s\n", status, module.ReplyText);
    return 1;
  }

  printf("configuration %04X\n", (unsigned)module.ConfigBits);
  printf("serial number");
  for (int i = 0; i < 8; ++i) {
    printf(" %02X", (unsigned)module.SerialNumber[i]);
  }
  printf("\ndigital inputs %02X\n", (unsigned)module.DigitalIn);
  printf("frequency %ld Hz\n", (long)module.Frequency);
  return 0;
}
