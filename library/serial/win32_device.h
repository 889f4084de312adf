// The Win32 driver kind: a communications device opened for overlapped I/O,
// with time-outs that make every read return at once.
#ifndef BRIMTALLY_SERIAL_WIN32_DEVICE_H
#define BRIMTALLY_SERIAL_WIN32_DEVICE_H

#include <windows.h>

#include <cstdint>

#include "serial/serial_port.h"

namespace bt {

// Line-error bits as ClearCommError reports them.
constexpr uint32_t kLineErrorMask = CE_BREAK | CE_FRAME | CE_OVERRUN | CE_RXPARITY;

struct PortDevice {
  uint32_t rx_queue_size;
  uint32_t tx_queue_size;
  DCB settings;  // changed in memory, then applied as a whole
  uint32_t line_errors;
  uint32_t uart_base;  // no such thing here; the dump shows 0
  HANDLE handle;
  // Each direction has its own record and event: a read must not reuse the
  // record of a write that is still in flight, nor mistake its completion.
  OVERLAPPED read_overlapped;
  OVERLAPPED write_overlapped;
  // The transmit queue, a ring of tx_queue_size bytes: tx_used bytes from
  // tx_head on. The first tx_in_flight of them are in the one write the
  // system holds (write_pending); the rest wait for it to end. A write never
  // waits for the line: what does not fit is refused.
  uint8_t* tx_ring;
  uint32_t tx_head;
  uint32_t tx_used;
  uint32_t tx_in_flight;
  bool write_pending;
  // Bytes handed back by unread, delivered before anything from the device.
  uint8_t pushback[4];
  int pushback_count;
};

inline int fail(SerialPort& port, int32_t code) {
  port.status = code;
  return code;
}

// Queue room: size less what waits, never below 0.
inline int room(uint32_t size, DWORD waiting) {
  return size > waiting ? static_cast<int>(size - waiting) : 0;
}

// GetLastError value -> driver status.
int32_t map_win32_error(DWORD error);

// Adds the device's pending error flags to the line errors and fills the
// queue counts; false (counts zero) when the device cannot be asked.
bool query_device(PortDevice& device, COMSTAT& counts);

// Readies a transfer record for its next transfer: cleared, event reset.
void start_transfer(OVERLAPPED& overlapped);

// Ends the write the system holds if it has finished, then hands it the bytes
// that wait; never waits. False when the device refused them (they are
// dropped).
bool transmit_step(PortDevice& device);
// Bytes queued that have not yet gone out, in the system or in the ring.
int transmit_waiting(PortDevice& device);
// Cancels a write in flight and waits until the system has let go of it.
void abandon_transmit(PortDevice& device);

// Releases whatever the device block holds (handle, events, transmit ring)
// and the block itself. Returns the last error of a failed CloseHandle, or 0.
DWORD release_device(PortDevice* device);

class Win32Operations final : public PortOperations {
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

#endif  // BRIMTALLY_SERIAL_WIN32_DEVICE_H
