// SPDX-License-Identifier: MIT
// The serial driver beneath the library: port objects, their operations table,
// the process-wide environment and the driver routines. Internal to the library.
#ifndef BRIMTALLY_SERIAL_SERIAL_PORT_H
#define BRIMTALLY_SERIAL_SERIAL_PORT_H

#include <cstddef>
#include <cstdint>

namespace bt {

// Driver status codes. Failures are negative and sticky in SerialPort::status.
enum PortStatus : int32_t {
  kPortOk = 0,
  kGeneralError = -1,
  kInvalidPort = -2,
  kInUse = -3,
  kNoMemory = -5,
  kNotSetUp = -6,
  kInvalidParameter = -7,
  kBufferEmpty = -8,
  kBufferFull = -9,
  kNoDevice = -14,
  kNotSupported = -24,
  kIllegalBaud = -25,
  kIllegalParity = -26,
  kIllegalStopBits = -28,
  kUserBufferOverflow = -31,
  kEchoMismatch = -43,     // the line returned other bytes than were sent
  kNoEcho = -44,           // a port opened with echo got nothing back
  kLineModeRefused = -45,  // the device has no RS-485 mode or RTS toggling
};

// Driver kinds, as reported in SerialPort::driver_kind.
constexpr int32_t kDriverKindNone = -1;
constexpr int32_t kDriverKindWin32 = 15;
constexpr int32_t kDriverKindPosix = 16;
constexpr int32_t kDriverKindNetwork = 17;  // a port behind a serial device server

constexpr uint32_t kDefaultQueueSize = 1050;
// The longest port name (a device path or a network address) a port takes.
constexpr size_t kLongestPortName = 4095;

struct SerialPort;
struct PortDevice;  // the driver kind's device block; each kind defines its own

// Returns a negative value to abort the wait that called it.
using IdleHook = int (*)(SerialPort* port);
// Returns a text for the code, or nullptr to let the built-in table answer.
using ErrorTextHook = const char* (*)(int32_t code);
using LinePrinter = void (*)(const char* line);

struct PortEnvironment {
  IdleHook idle_hook;
  ErrorTextHook error_text_hook;
  uint32_t rx_queue_size;
  uint32_t tx_queue_size;
};

// The operations table, in slot order. Every default answers "not supported"
// (status and result -24); close releases a port that never opened; dump
// prints that it is not supported. Driver kinds override what they provide.
class PortOperations {
 public:
  virtual ~PortOperations() = default;
  virtual int read_char(SerialPort& port);             // 1
  virtual int reserved_op_a(SerialPort& port);         // 2
  virtual int write_char(SerialPort& port, int byte);  // 3
  virtual int close(SerialPort& port);                 // 4
  virtual int set_params(SerialPort& port, int32_t baud, int parity, int data_bits,
                         int stop_bits);                                     // 5
  virtual int set_xonxoff(SerialPort& port, int on);                         // 6
  virtual int set_rtscts(SerialPort& port, int on);                          // 7
  virtual int set_dtrdsr(SerialPort& port, int on);                          // 8
  virtual int set_dtr(SerialPort& port, int on);                             // 9
  virtual int set_rts(SerialPort& port, int on);                             // 10
  virtual int tx_free(SerialPort& port);                                     // 11
  virtual int tx_count(SerialPort& port);                                    // 12
  virtual int rx_free(SerialPort& port);                                     // 13
  virtual int rx_count(SerialPort& port);                                    // 14
  virtual int clear_tx(SerialPort& port);                                    // 15
  virtual int write_block(SerialPort& port, const void* bytes, int length);  // 16
  virtual int read_block(SerialPort& port, void* buffer, int length);        // 17
  virtual int dump(SerialPort& port, LinePrinter print_line);                // 18
  virtual int send_break(SerialPort& port, int ms);                          // 19
  virtual int modem_status(SerialPort& port);                                // 20
  virtual int line_status(SerialPort& port);                                 // 21
  virtual int clear_line_status(SerialPort& port);                           // 22
  virtual int reserved_op_b(SerialPort& port, int number);                   // 23
  virtual SerialPort* clear_status(SerialPort& port);                        // 24
  // Puts up to two bytes back in front of the receive queue, so that a line
  // too long for its buffer loses nothing; the next reads return them first.
  // Default: not supported (the bytes are lost).
  virtual int unread(SerialPort& port, const uint8_t* bytes, int length);
};

// One per open attempt, owned by the caller of port_open until its close
// operation releases it.
struct SerialPort {
  PortDevice* device;
  SerialPort* next;  // live list, newest first
  int32_t port_index;
  int32_t status;
  int32_t driver_kind;
  int32_t count;
  PortOperations* ops;
  PortEnvironment* environment;
};

// Makes and opens a port object; never returns nullptr. On failure the object
// carries a negative status and the default operations.
SerialPort* port_open(int index, int32_t baud, int parity, int data_bits, int stop_bits);
// The same for a port named by the caller (at most kLongestPortName
// characters), which stands in for port index.
SerialPort* port_open_named(int index, const char* name, int32_t baud, int parity, int data_bits,
                            int stop_bits);
// The device name of port index n (COM n+1) into name; true when the
// environment chose it rather than the default.
bool port_device_name(int index, char* name, size_t size);
// Waits ms milliseconds calling the idle hook; 0, or the hook's negative value.
// The wait ends within the default hook's wake-up of the due time.
int port_delay(SerialPort* port, int ms);
// nullptr restores the default hook.
void set_idle_hook(IdleHook hook);
void set_error_text_hook(ErrorTextHook hook);
// Closes every port still in the live list, newest first.
void port_exit_close_all();
PortEnvironment* port_environment();
// The newest live port object (nullptr when none), and the shared object handed
// out when memory for a port cannot be had.
SerialPort* port_live_head();
SerialPort* port_fallback();
// Microseconds on the monotonic clock, from the host: the driver's waits are
// timed on it.
uint64_t port_micros();
// Milliseconds on the same clock, for what reports time in them.
uint32_t port_ticks();

// Line transfers (terminator -2..255; see line_io.cpp).
int port_read_line(SerialPort* port, char* buffer, uint32_t capacity, int terminator,
                   int32_t timeout_ms);
int port_write_string(SerialPort* port, const char* text, int terminator);

// Modem-line tests: the line's bit of modem_status, or a value <= 0 unchanged.
int cts_on(SerialPort* port);
int dsr_on(SerialPort* port);
int ri_on(SerialPort* port);
int cd_on(SerialPort* port);

// The fixed text of a driver status code (the hook answers first).
const char* port_error_text(int32_t code);

}  // namespace bt

#endif  // BRIMTALLY_SERIAL_SERIAL_PORT_H
