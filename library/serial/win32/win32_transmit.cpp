// SPDX-License-Identifier: MIT
// The transmit queue of the Win32 driver kind. The system holds one write at
// a time; what is written meanwhile waits in the ring and goes out in order
// when that write ends, which any later call on the port notices. No call
// waits for the far end: one that stops reading, or holds CTS low, fills the
// queue, and a write that finds no room is refused with -9.
#include <algorithm>
#include <cstring>

#include "serial/win32/win32_device.h"

namespace bt {

namespace {

// The first n bytes of the ring have left it.
void release(Win32Device& device, uint32_t n) {
  device.tx_head = (device.tx_head + n) % device.tx_queue_size;
  device.tx_used -= n;
  device.tx_in_flight = 0;
}

}  // namespace

bool transmit_step(Win32Device& device) {
  COMSTAT counts;
  if (device.write_pending) {
    // A zero wait, unlike a look at the record, also lets a host that
    // completes transfers on this thread (Wine) finish it.
    if (WaitForSingleObject(device.write_overlapped.hEvent, 0) != WAIT_OBJECT_0) return true;
    DWORD moved = 0;
    if (!GetOverlappedResult(device.handle, &device.write_overlapped, &moved, FALSE)) {
      query_device(device, counts);
    }
    device.write_pending = false;
    release(device, device.tx_in_flight);
  }
  while (device.tx_used > 0) {
    // Up to the ring's end; the wrapped rest follows in the next write.
    const uint32_t n = std::min(device.tx_used, device.tx_queue_size - device.tx_head);
    start_transfer(device.write_overlapped);
    DWORD written = 0;
    if (WriteFile(device.handle, device.tx_ring + device.tx_head, n, &written,
                  &device.write_overlapped)) {
      release(device, n);
    } else if (GetLastError() == ERROR_IO_PENDING) {
      device.tx_in_flight = n;
      device.write_pending = true;
      return true;
    } else {
      query_device(device, counts);
      device.tx_used = 0;
      return false;
    }
  }
  return true;
}

int transmit_waiting(Win32Device& device) {
  transmit_step(device);
  COMSTAT counts;
  query_device(device, counts);
  // The system's count includes the write it holds, where it reports one.
  const DWORD with_system = std::max<DWORD>(counts.cbOutQue, device.tx_in_flight);
  return static_cast<int>(with_system + device.tx_used - device.tx_in_flight);
}

void abandon_transmit(Win32Device& device) {
  device.tx_used = device.tx_in_flight;
  if (!device.write_pending) return;
  // The system writes into the record until the write has ended.
  CancelIo(device.handle);
  DWORD moved = 0;
  GetOverlappedResult(device.handle, &device.write_overlapped, &moved, TRUE);
  device.write_pending = false;
  release(device, device.tx_in_flight);
}

int Win32Operations::transmit(SerialPort& port, const uint8_t* bytes, int length, int& queued) {
  Win32Device& device = win32_device_of(port);
  if (length > 0) {
    const uint32_t tail = (device.tx_head + device.tx_used) % device.tx_queue_size;
    const uint32_t first = std::min<uint32_t>(length, device.tx_queue_size - tail);
    std::memcpy(device.tx_ring + tail, bytes, first);
    std::memcpy(device.tx_ring, bytes + first, length - first);
    device.tx_used += length;
  }
  // Bytes the device refused are dropped: they count as not queued.
  queued = transmit_step(device) ? length : 0;
  return 0;
}

int Win32Operations::clear_tx(SerialPort& port) {
  Win32Device& device = win32_device_of(port);
  device.tx_used = device.tx_in_flight;  // what waits in the ring goes too
  if (PurgeComm(device.handle, PURGE_TXCLEAR)) return 0;
  return fail(port, map_win32_error(GetLastError()));
}

}  // namespace bt
