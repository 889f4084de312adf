// SPDX-License-Identifier: MIT
// The ten lines of a port dump, formatted from values any driver kind gathers.
#ifndef BRIMTALLY_SERIAL_PORT_DUMP_H
#define BRIMTALLY_SERIAL_PORT_DUMP_H

#include <cstdint>

#include "serial/serial_port.h"

namespace bt {

struct PortDumpFields {
  const char* port_type;  // "POSIX termios", "MS Windows"
  uint32_t baud;
  int byte_size;
  int parity;     // 0 none, 1 odd, 2 even, 3 mark, 4 space
  int stop_bits;  // 0 one, 1 one and a half, 2 two
  int binary;
  int rts_control;
  int parity_check;
  int outx_cts_flow;
  int outx_dsr_flow;
  int dtr_control;
  int outx;
  int inx;
  int null_discard;
  char xon_char;  // printed widened as signed bytes
  char xoff_char;
  unsigned xon_lim;
  unsigned xoff_lim;
  char eof_char;
  char evt_char;
  int rx_count;
  int rx_free;
  int tx_count;
  int tx_free;
  int line_status;       // result of the line_status operation
  uint32_t line_errors;  // accumulated line-error bits
  int modem_status;      // result of the modem_status operation
  uint32_t uart_base;
};

void print_port_dump(const PortDumpFields& fields, LinePrinter print_line);

}  // namespace bt

#endif  // BRIMTALLY_SERIAL_PORT_DUMP_H
