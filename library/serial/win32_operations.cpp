// The operations of the Win32 driver kind.
#include <algorithm>
#include <cstring>
#include <new>

#include "serial/line_codes.h"
#include "serial/live_ports.h"
#include "serial/platform.h"
#include "serial/win32_device.h"

namespace bt {

namespace {

PortDevice& device_of(SerialPort& port) {
  return *port.device;
}

int received_waiting(PortDevice& device) {
  transmit_step(device);  // every poll for input keeps the output moving
  COMSTAT counts;
  query_device(device, counts);
  return static_cast<int>(counts.cbInQue) + device.pushback_count;
}

// Applies the whole settings record; 0, or the mapped error (also stored).
int apply(SerialPort& port) {
  if (SetCommState(device_of(port).handle, &device_of(port).settings)) return 0;
  return fail(port, map_win32_error(GetLastError()));
}

int take_pushback(PortDevice& device, uint8_t* out, int length) {
  const int n = std::min(length, device.pushback_count);
  std::memcpy(out, device.pushback, static_cast<size_t>(n));
  std::memmove(device.pushback, device.pushback + n,
               static_cast<size_t>(device.pushback_count - n));
  device.pushback_count -= n;
  return n;
}

}  // namespace

bool query_device(PortDevice& device, COMSTAT& counts) {
  counts = COMSTAT{};
  DWORD errors = 0;
  if (!ClearCommError(device.handle, &errors, &counts)) {
    counts = COMSTAT{};
    return false;
  }
  device.line_errors |= errors;
  return true;
}

void start_transfer(OVERLAPPED& overlapped) {
  HANDLE event = overlapped.hEvent;
  overlapped = OVERLAPPED{};
  overlapped.hEvent = event;
  ResetEvent(event);
}

namespace platform {

PortOperations& operations(const SerialPort&) {
  // Never destroyed: ports still open at exit are closed through it.
  alignas(Win32Operations) static unsigned char storage[sizeof(Win32Operations)];
  static Win32Operations* table = new (storage) Win32Operations;
  return *table;
}

}  // namespace platform

int Win32Operations::read_char(SerialPort& port) {
  uint8_t byte = 0;
  const int result = read_block(port, &byte, 1);
  return result == 0 ? byte : result;
}

int Win32Operations::write_char(SerialPort& port, int byte) {
  const uint8_t value = static_cast<uint8_t>(byte);
  return write_block(port, &value, 1);
}

int Win32Operations::close(SerialPort& port) {
  PortDevice* device = port.device;
  EscapeCommFunction(device->handle, CLRDTR);
  EscapeCommFunction(device->handle, CLRRTS);
  abandon_transmit(*device);
  const DWORD close_error = release_device(device);
  port.device = nullptr;
  unlink_port(&port);
  delete &port;
  return close_error == 0 ? 0 : map_win32_error(close_error);
}

int Win32Operations::set_params(SerialPort& port, int32_t baud, int parity, int data_bits,
                                int stop_bits) {
  if (baud > 115200) return fail(port, kIllegalBaud);
  DCB& dcb = device_of(port).settings;
  // Stored before the checks below: a rejected call leaves them for the
  // next operation that applies the record.
  dcb.BaudRate = static_cast<DWORD>(baud);
  dcb.ByteSize = static_cast<BYTE>(data_bits);
  // The shared codes are the DCB's own values.
  static_assert(kParityNone == NOPARITY && kParityOdd == ODDPARITY && kParityEven == EVENPARITY &&
                kParityMark == MARKPARITY && kParitySpace == SPACEPARITY);
  static_assert(kStopOne == ONESTOPBIT && kStopTwo == TWOSTOPBITS);
  const int parity_value = parity_code(parity);
  if (parity_value < 0) return fail(port, kIllegalParity);
  dcb.Parity = static_cast<BYTE>(parity_value);
  const int stop_value = stop_bits_code(stop_bits);
  if (stop_value < 0) return fail(port, kIllegalStopBits);
  dcb.StopBits = static_cast<BYTE>(stop_value);
  apply(port);
  return port.status;
}

int Win32Operations::set_xonxoff(SerialPort& port, int on) {
  DCB& dcb = device_of(port).settings;
  dcb.fOutX = on ? TRUE : FALSE;
  dcb.fInX = on ? TRUE : FALSE;
  return apply(port);
}

int Win32Operations::set_rtscts(SerialPort& port, int on) {
  DCB& dcb = device_of(port).settings;
  dcb.fOutxCtsFlow = on ? TRUE : FALSE;
  dcb.fRtsControl = on ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_DISABLE;
  return apply(port);
}

int Win32Operations::set_dtrdsr(SerialPort& port, int on) {
  DCB& dcb = device_of(port).settings;
  dcb.fOutxDsrFlow = on ? TRUE : FALSE;
  dcb.fDtrControl = on ? DTR_CONTROL_HANDSHAKE : DTR_CONTROL_DISABLE;
  return apply(port);
}

int Win32Operations::set_dtr(SerialPort& port, int on) {
  PortDevice& device = device_of(port);
  device.settings.fDtrControl = on ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
  SetCommState(device.handle, &device.settings);
  return 0;
}

int Win32Operations::set_rts(SerialPort& port, int on) {
  PortDevice& device = device_of(port);
  device.settings.fRtsControl = on ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
  SetCommState(device.handle, &device.settings);
  return 0;
}

int Win32Operations::rx_free(SerialPort& port) {
  PortDevice& device = device_of(port);
  return room(device.rx_queue_size, static_cast<DWORD>(received_waiting(device)));
}

int Win32Operations::rx_count(SerialPort& port) {
  return received_waiting(device_of(port));
}

int Win32Operations::read_block(SerialPort& port, void* buffer, int length) {
  PortDevice& device = device_of(port);
  if (length <= 0 || buffer == nullptr) {
    port.count = 0;
    return length == 0 ? 0 : kInvalidParameter;
  }
  transmit_step(device);
  uint8_t* out = static_cast<uint8_t*>(buffer);
  int got = take_pushback(device, out, length);
  if (got < length) {
    COMSTAT counts;
    if (!query_device(device, counts)) {
      // A device that cannot be asked is gone (an adapter pulled): a failure,
      // never "nothing waiting", so no wait spins on it.
      port.count = got;
      return fail(port, map_win32_error(GetLastError()));
    }
    const DWORD want = std::min(static_cast<DWORD>(length - got), counts.cbInQue);
    if (want > 0) {
      start_transfer(device.read_overlapped);
      DWORD moved = 0;
      if (ReadFile(device.handle, out + got, want, &moved, &device.read_overlapped)) {
        got += static_cast<int>(moved);
      } else if (GetLastError() == ERROR_IO_PENDING) {
        if (GetOverlappedResult(device.handle, &device.read_overlapped, &moved, TRUE)) {
          got += static_cast<int>(moved);
        }
      } else {
        const DWORD error = GetLastError();
        query_device(device, counts);
        port.count = got;
        return fail(port, map_win32_error(error));
      }
    }
  }
  port.count = got;
  return got > 0 ? 0 : kBufferEmpty;
}

int Win32Operations::send_break(SerialPort& port, int ms) {
  SetCommBreak(device_of(port).handle);
  port_delay(&port, ms);
  ClearCommBreak(device_of(port).handle);
  return 0;
}

int Win32Operations::modem_status(SerialPort& port) {
  DWORD lines = 0;
  if (!GetCommModemStatus(device_of(port).handle, &lines)) return 0;  // no modem lines here
  return static_cast<int>(lines & (MS_CTS_ON | MS_DSR_ON | MS_RING_ON | MS_RLSD_ON));
}

int Win32Operations::line_status(SerialPort& port) {
  PortDevice& device = device_of(port);
  COMSTAT counts;
  query_device(device, counts);
  return static_cast<int>(device.line_errors & kLineErrorMask);
}

int Win32Operations::clear_line_status(SerialPort& port) {
  device_of(port).line_errors = 0;
  return 0;
}

int Win32Operations::unread(SerialPort& port, const uint8_t* bytes, int length) {
  PortDevice& device = device_of(port);
  if (length < 0 || length + device.pushback_count > static_cast<int>(sizeof device.pushback)) {
    return fail(port, kInvalidParameter);
  }
  std::memmove(device.pushback + length, device.pushback,
               static_cast<size_t>(device.pushback_count));
  std::memcpy(device.pushback, bytes, static_cast<size_t>(length));
  device.pushback_count += length;
  return 0;
}

}  // namespace bt
