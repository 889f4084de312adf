// SPDX-License-Identifier: MIT
// Formatting the port dump.
#include "serial/port_dump.h"

#include <cstdio>

namespace bt {

namespace {

int bit(uint32_t value, uint32_t mask) {
  return (value & mask) != 0 ? 1 : 0;
}

// Character codes are widened with their sign, as the dump always has: 0x80
// and above print as eight hex digits.
unsigned widened(char c) {
  return static_cast<unsigned>(static_cast<int>(static_cast<signed char>(c)));
}

}  // namespace

void print_port_dump(const PortDumpFields& f, LinePrinter print_line) {
  if (print_line == nullptr) return;
  char line[256];
  print_line("");
  std::snprintf(line, sizeof line, "Port type:  %s  DCB BaudRate: %-6d  ByteSize: %1d  Parity: %1d",
                f.port_type, static_cast<int>(f.baud), f.byte_size, f.parity);
  print_line(line);
  std::snprintf(line, sizeof line, "StopBits: %1d fBinary: %1d  fRtsControl: %1d", f.stop_bits,
                f.binary, f.rts_control);
  print_line(line);
  std::snprintf(
      line, sizeof line,
      "Parity: %1d  OutCtsFlow: %1d  OutDsrFlow: %1d  DtrControl: %1d  OutX: %1d  InX: %1d",
      f.parity_check, f.outx_cts_flow, f.outx_dsr_flow, f.dtr_control, f.outx, f.inx);
  print_line(line);
  std::snprintf(line, sizeof line,
                "Null: %1d  DtrControl: %1d  RtsControl: %1d  XonChar: %02x  XoffChar: %02x",
                f.null_discard, f.dtr_control, f.rts_control, widened(f.xon_char),
                widened(f.xoff_char));
  print_line(line);
  std::snprintf(line, sizeof line, "XonLim: %-5u XoffLim: %-5u EofChr: %02x  EvtChr: %02x",
                f.xon_lim, f.xoff_lim, widened(f.eof_char), widened(f.evt_char));
  print_line(line);
  const uint32_t status = static_cast<uint32_t>(f.line_status);
  std::snprintf(line, sizeof line,
                "RX count/free: %5d/%-5d  TX count/free: %5d/%-5d  BREAK/FE/OE/PE: %d%d%d%d",
                f.rx_count, f.rx_free, f.tx_count, f.tx_free, bit(status, 0x10), bit(status, 0x08),
                bit(status, 0x02), bit(status, 0x04));
  print_line(line);
  std::snprintf(line, sizeof line, "CE_BREAK:%d  CE_FRAME:%d  CE_MODE:%d CE_OVERRUN:%d",
                bit(f.line_errors, 0x0010), bit(f.line_errors, 0x0008), bit(f.line_errors, 0x8000),
                bit(f.line_errors, 0x0002));
  print_line(line);
  const uint32_t modem = static_cast<uint32_t>(f.modem_status);
  std::snprintf(line, sizeof line,
                "CE_RXOVER:%d CE_RXPARITY:%d CE_TXFULL:%d  CTS/DSR/RI/CD: %d%d%d%d",
                bit(f.line_errors, 0x0001), bit(f.line_errors, 0x0004), bit(f.line_errors, 0x0100),
                bit(modem, 0x10), bit(modem, 0x20), bit(modem, 0x40), bit(modem, 0x80));
  print_line(line);
  // Four digits at least, zero-filled.
  std::snprintf(line, sizeof line, "8250:%.4x", static_cast<unsigned>(f.uart_base));
  print_line(line);
}

}  // namespace bt
