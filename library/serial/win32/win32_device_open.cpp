// SPDX-License-Identifier: MIT
// Opening a communications device into a port object.
#include <memory>
#include <new>

#include "serial/win32/win32_device.h"

namespace bt {

Win32Device::~Win32Device() {
  if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  if (read_overlapped.hEvent != nullptr) CloseHandle(read_overlapped.hEvent);
  if (write_overlapped.hEvent != nullptr) CloseHandle(write_overlapped.hEvent);
  delete[] tx_ring;
}

namespace {

// The record as the device reports it, with the settings every port starts
// from.
void read_settings(const DCB& dcb, LineSettings& settings, uint32_t rx_queue_size) {
  settings.baud = dcb.BaudRate;
  settings.byte_size = dcb.ByteSize;
  settings.parity = dcb.Parity;
  settings.stop_bits = dcb.StopBits;
  prepare_line_settings(settings, rx_queue_size);
  // Windows has no line-discipline default to undo: flow control stays as set.
  settings.outx = dcb.fOutX;
  settings.inx = dcb.fInX;
}

}  // namespace

int Win32Operations::open(SerialPort& port, const char* name, const PortOptions&) {
  std::unique_ptr<Win32Device> device(new (std::nothrow) Win32Device(*port.environment));
  if (!device) return kNoMemory;
  device->tx_ring = new (std::nothrow) uint8_t[device->tx_queue_size];
  if (device->tx_ring == nullptr) return kNoMemory;

  // Manual-reset events, so GetOverlappedResult waits for this transfer only.
  device->read_overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  device->write_overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (device->read_overlapped.hEvent == nullptr || device->write_overlapped.hEvent == nullptr) {
    return fail(port, map_win32_error(GetLastError()));
  }

  device->handle = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                               FILE_FLAG_OVERLAPPED, nullptr);
  port.status = kPortOk;
  if (device->handle == INVALID_HANDLE_VALUE) return fail(port, map_win32_error(GetLastError()));

  SetupComm(device->handle, device->rx_queue_size, device->tx_queue_size);
  SetCommMask(device->handle, 0);
  device->dcb.DCBlength = sizeof(DCB);
  GetCommState(device->handle, &device->dcb);
  read_settings(device->dcb, device->settings, device->rx_queue_size);

  // Reads return at once with whatever has arrived; writes have no time-out.
  COMMTIMEOUTS timeouts{};
  timeouts.ReadIntervalTimeout = MAXDWORD;
  SetCommTimeouts(device->handle, &timeouts);

  port.device = device.release();
  return kPortOk;
}

}  // namespace bt
