// SPDX-License-Identifier: MIT
// The Win32 driver kind: a communications device opened for overlapped I/O,
// with time-outs that make every read return at once.
#ifndef BRIMTALLY_SERIAL_WIN32_WIN32_DEVICE_H
#define BRIMTALLY_SERIAL_WIN32_WIN32_DEVICE_H

#include <windows.h>

#include <cstdint>

#include "serial/device_operations.h"
#include "serial/port_device.h"

namespace bt {

static_assert(CE_RXOVER == kLineRxOver && CE_OVERRUN == kLineOverrun &&
              CE_RXPARITY == kLineParity && CE_FRAME == kLineFrame && CE_BREAK == kLineBreak);

struct Win32Device final : PortDevice {
  using PortDevice::PortDevice;
  // Releases the events, the ring and a handle still open.
  ~Win32Device() override;

  HANDLE handle = INVALID_HANDLE_VALUE;
  // The device's own record: the settings record is copied into it when
  // applied, and what the record has no field for keeps the device's value.
  DCB dcb{};
  // Each direction has its own record and event: a read must not reuse the
  // record of a write that is still in flight, nor mistake its completion.
  OVERLAPPED read_overlapped{};
  OVERLAPPED write_overlapped{};
  // The transmit queue, a ring of tx_queue_size bytes: tx_used bytes from
  // tx_head on. The first tx_in_flight of them are in the one write the
  // system holds (write_pending); the rest wait for it to end. A write never
  // waits for the line: what does not fit is refused.
  uint8_t* tx_ring = nullptr;
  uint32_t tx_head = 0;
  uint32_t tx_used = 0;
  uint32_t tx_in_flight = 0;
  bool write_pending = false;
};

// The block of a port of this kind.
inline Win32Device& win32_device_of(SerialPort& port) {
  return static_cast<Win32Device&>(*port.device);
}

// GetLastError value -> driver status.
int32_t map_win32_error(DWORD error);

// Adds the device's pending error flags to the line errors and fills the
// queue counts; false (counts zero) when the device cannot be asked.
bool query_device(Win32Device& device, COMSTAT& counts);

// Readies a transfer record for its next transfer: cleared, event reset.
void start_transfer(OVERLAPPED& overlapped);

// Ends the write the system holds if it has finished, then hands it the bytes
// that wait; never waits. False when the device refused them (they are
// dropped).
bool transmit_step(Win32Device& device);
// Bytes queued that have not yet gone out, in the system or in the ring.
int transmit_waiting(Win32Device& device);
// Cancels a write in flight and waits until the system has let go of it.
void abandon_transmit(Win32Device& device);

class Win32Operations final : public DeviceOperations {
  BRIMTALLY_DEVICE_STEPS

 public:
  Win32Operations() : DeviceOperations(kDriverKindWin32) {}

 protected:
  void refresh(SerialPort& port) override { transmit_step(win32_device_of(port)); }
};

}  // namespace bt

#endif  // BRIMTALLY_SERIAL_WIN32_WIN32_DEVICE_H
