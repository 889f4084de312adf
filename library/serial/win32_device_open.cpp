// Opening a communications device into a port object.
#include <cstdio>
#include <new>

#include "serial/platform.h"
#include "serial/win32_device.h"

namespace bt {

namespace {

// The settings every port starts from; what is not named here keeps the
// value the device reported.
void prepare_settings(DCB& dcb, uint32_t rx_queue_size) {
  dcb.fBinary = TRUE;
  dcb.fParity = FALSE;
  dcb.fNull = FALSE;
  dcb.fOutxCtsFlow = FALSE;
  dcb.fOutxDsrFlow = FALSE;
  dcb.fDtrControl = DTR_CONTROL_ENABLE;
  dcb.fRtsControl = RTS_CONTROL_ENABLE;
  dcb.XonChar = 0x11;
  dcb.XoffChar = 0x13;
  dcb.XonLim = static_cast<WORD>(rx_queue_size / 4);
  dcb.XoffLim = static_cast<WORD>(rx_queue_size / 4);
  dcb.EofChar = 0;
  dcb.EvtChar = 0;
}

PortDevice* make_device(const PortEnvironment& environment) {
  PortDevice* device = new (std::nothrow) PortDevice{};
  if (device == nullptr) return nullptr;
  device->handle = INVALID_HANDLE_VALUE;
  device->rx_queue_size = environment.rx_queue_size;
  device->tx_queue_size = environment.tx_queue_size;
  device->tx_ring = new (std::nothrow) uint8_t[device->tx_queue_size];
  if (device->tx_ring == nullptr) {
    delete device;
    return nullptr;
  }
  return device;
}

}  // namespace

DWORD release_device(PortDevice* device) {
  DWORD close_error = 0;
  if (device->handle != INVALID_HANDLE_VALUE && !CloseHandle(device->handle)) {
    close_error = GetLastError();
  }
  if (device->read_overlapped.hEvent != nullptr) CloseHandle(device->read_overlapped.hEvent);
  if (device->write_overlapped.hEvent != nullptr) CloseHandle(device->write_overlapped.hEvent);
  delete[] device->tx_ring;
  delete device;
  return close_error;
}

namespace platform {

int open_device(SerialPort& port) {
  PortDevice* device = make_device(*port.environment);
  if (device == nullptr) return kNoMemory;
  port.driver_kind = kDriverKindWin32;

  // Manual-reset events, so GetOverlappedResult waits for this transfer only.
  device->read_overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  device->write_overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (device->read_overlapped.hEvent == nullptr || device->write_overlapped.hEvent == nullptr) {
    port.status = map_win32_error(GetLastError());
    release_device(device);
    return port.status;
  }

  char name[24];
  std::snprintf(name, sizeof name, "\\\\.\\COM%d", port.port_index + 1);
  device->handle = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                               FILE_FLAG_OVERLAPPED, nullptr);
  port.status = kPortOk;
  if (device->handle == INVALID_HANDLE_VALUE) {
    port.status = map_win32_error(GetLastError());
    release_device(device);
    return port.status;
  }

  SetupComm(device->handle, device->rx_queue_size, device->tx_queue_size);
  SetCommMask(device->handle, 0);
  device->settings.DCBlength = sizeof(DCB);
  GetCommState(device->handle, &device->settings);
  prepare_settings(device->settings, device->rx_queue_size);

  // Reads return at once with whatever has arrived; writes have no time-out.
  COMMTIMEOUTS timeouts{};
  timeouts.ReadIntervalTimeout = MAXDWORD;
  SetCommTimeouts(device->handle, &timeouts);

  port.device = device;
  return kPortOk;
}

}  // namespace platform

}  // namespace bt
