// The POSIX driver kind: a terminal device driven through termios, non-blocking
// reads and writes, and poll for waiting.
#ifndef BRIMTALLY_SERIAL_POSIX_DEVICE_H
#define BRIMTALLY_SERIAL_POSIX_DEVICE_H

#include <cstdint>

#include "serial/line_codes.h"
#include "serial/serial_port.h"

namespace bt {

// Control-line modes, with the values the dump prints.
enum LineControl : uint8_t {
  kControlDisable = 0,
  kControlEnable = 1,
  kControlHandshake = 2,
  kControlToggle = 3,  // RTS only
};

// The line settings, changed in memory and then applied to the device as a
// whole. Fields without a termios counterpart (DSR flow, NUL discarding, the
// XON/XOFF limits, EOF and event characters) are kept for the dump only.
struct PortSettings {
  uint32_t baud;
  uint8_t byte_size;
  uint8_t parity;     // ParityCode
  uint8_t stop_bits;  // StopBitsCode
  bool binary;
  bool parity_check;
  bool outx_cts_flow;
  bool outx_dsr_flow;
  uint8_t dtr_control;  // LineControl
  uint8_t rts_control;  // LineControl
  bool outx;
  bool inx;
  bool null_discard;
  char xon_char;
  char xoff_char;
  uint16_t xon_lim;
  uint16_t xoff_lim;
  char eof_char;
  char evt_char;
};

// Line-error bit values shared with the dump.
constexpr uint32_t kLineRxOver = 0x0001;
constexpr uint32_t kLineOverrun = 0x0002;
constexpr uint32_t kLineParity = 0x0004;
constexpr uint32_t kLineFrame = 0x0008;
constexpr uint32_t kLineBreak = 0x0010;

// Error counters of the device as last seen, so each query adds only news.
struct LineCounters {
  int frame;
  int overrun;
  int parity;
  int brk;
  int buf_overrun;
};

struct PortDevice {
  uint32_t rx_queue_size;
  uint32_t tx_queue_size;
  PortSettings settings;
  uint32_t line_errors;
  uint32_t uart_base;  // no such thing here; the dump shows 0
  int fd;
  bool has_counters;  // false where the device keeps no error counters (ptys)
  LineCounters counters_seen;
  // Bytes handed back by unread, delivered before anything from the device.
  uint8_t pushback[4];
  int pushback_count;
};

// Applies the whole settings record to the device: termios in raw mode, the
// rate (termios2 for rates without a constant), then the DTR and RTS lines.
// Returns 0 or an errno value.
int apply_settings(int fd, const PortSettings& settings);
// Fills the fields termios knows from the device's present state. 0 or errno.
int read_settings(int fd, PortSettings& settings);
// The line rate in bits per second through termios2 (any rate). 0 or errno.
int set_line_rate(int fd, uint32_t baud);
int get_line_rate(int fd, uint32_t& baud);
// errno of a failed device call -> driver status.
int32_t map_device_error(int error);

class PosixOperations final : public PortOperations {
 public:
  int read_char(SerialPort& port) override;
  int write_char(SerialPort& port, int byte) override;
  int close(SerialPort& port) override;
  int set_params(SerialPort& port, int32_t baud, int parity, int data_bits, int stop_bits) override;
  int set_xonxoff(SerialPort& port, int on) override;
  int set_rtscts(SerialPort& port, int on) override;
  int set_dtrdsr(SerialPort& port, int on) override;
  int set_dtr(SerialPort& port, int on) override;
  int set_rts(SerialPort& port, int on) override;
  int tx_free(SerialPort& port) override;
  int tx_count(SerialPort& port) override;
  int rx_free(SerialPort& port) override;
  int rx_count(SerialPort& port) override;
  int clear_tx(SerialPort& port) override;
  int write_block(SerialPort& port, const void* bytes, int length) override;
  int read_block(SerialPort& port, void* buffer, int length) override;
  int dump(SerialPort& port, LinePrinter print_line) override;
  int send_break(SerialPort& port, int ms) override;
  int modem_status(SerialPort& port) override;
  int line_status(SerialPort& port) override;
  int clear_line_status(SerialPort& port) override;
  int unread(SerialPort& port, const uint8_t* bytes, int length) override;
};

}  // namespace bt

#endif  // BRIMTALLY_SERIAL_POSIX_DEVICE_H
