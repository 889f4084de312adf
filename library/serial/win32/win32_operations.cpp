// SPDX-License-Identifier: MIT
// What the Win32 driver kind does its own way: the DCB, ClearCommError and
// overlapped reads.
#include <algorithm>
#include <new>

#include "serial/driver_kinds.h"
#include "serial/line_codes.h"
#include "serial/win32/win32_device.h"

namespace bt {

// The shared codes are the DCB's own values.
static_assert(kParityNone == NOPARITY && kParityOdd == ODDPARITY && kParityEven == EVENPARITY &&
              kParityMark == MARKPARITY && kParitySpace == SPACEPARITY);
static_assert(kStopOne == ONESTOPBIT && kStopTwo == TWOSTOPBITS);
static_assert(kControlDisable == RTS_CONTROL_DISABLE && kControlEnable == RTS_CONTROL_ENABLE &&
              kControlHandshake == RTS_CONTROL_HANDSHAKE && kControlToggle == RTS_CONTROL_TOGGLE &&
              kControlHandshake == DTR_CONTROL_HANDSHAKE);

DeviceOperations& win32_kind() {
  return operations_table<Win32Operations>();
}

bool query_device(Win32Device& device, COMSTAT& counts) {
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

int Win32Operations::apply_line_settings(SerialPort& port) {
  Win32Device& device = win32_device_of(port);
  const LineSettings& s = device.settings;
  DCB& dcb = device.dcb;
  dcb.BaudRate = s.baud;
  dcb.ByteSize = s.byte_size;
  dcb.Parity = s.parity;
  dcb.StopBits = s.stop_bits;
  dcb.fBinary = s.binary;
  dcb.fParity = s.parity_check;
  dcb.fOutxCtsFlow = s.outx_cts_flow;
  dcb.fOutxDsrFlow = s.outx_dsr_flow;
  dcb.fDtrControl = s.dtr_control;
  dcb.fRtsControl = s.rts_control;
  dcb.fOutX = s.outx;
  dcb.fInX = s.inx;
  dcb.fNull = s.null_discard;
  dcb.XonChar = s.xon_char;
  dcb.XoffChar = s.xoff_char;
  dcb.XonLim = s.xon_lim;
  dcb.XoffLim = s.xoff_lim;
  dcb.EofChar = s.eof_char;
  dcb.EvtChar = s.evt_char;
  return SetCommState(device.handle, &dcb) ? 0 : map_win32_error(GetLastError());
}

int Win32Operations::release(SerialPort& port) {
  Win32Device& device = win32_device_of(port);
  EscapeCommFunction(device.handle, CLRDTR);
  EscapeCommFunction(device.handle, CLRRTS);
  abandon_transmit(device);
  const BOOL closed = CloseHandle(device.handle);
  device.handle = INVALID_HANDLE_VALUE;
  return closed ? 0 : map_win32_error(GetLastError());
}

void Win32Operations::collect_line_errors(SerialPort& port) {
  COMSTAT counts;
  query_device(win32_device_of(port), counts);
}

int Win32Operations::input_waiting(SerialPort& port) {
  Win32Device& device = win32_device_of(port);
  transmit_step(device);  // every poll for input keeps the output moving
  COMSTAT counts;
  query_device(device, counts);
  return static_cast<int>(counts.cbInQue);
}

int Win32Operations::output_waiting(SerialPort& port) {
  return transmit_waiting(win32_device_of(port));
}

int Win32Operations::receive(SerialPort& port, uint8_t* out, int length) {
  Win32Device& device = win32_device_of(port);
  COMSTAT counts;
  // A device that cannot be asked is gone (an adapter pulled).
  if (!query_device(device, counts)) return map_win32_error(GetLastError());
  const DWORD want = std::min(static_cast<DWORD>(length), counts.cbInQue);
  if (want == 0) return 0;
  start_transfer(device.read_overlapped);
  DWORD moved = 0;
  if (ReadFile(device.handle, out, want, &moved, &device.read_overlapped)) {
    return static_cast<int>(moved);
  }
  if (GetLastError() == ERROR_IO_PENDING) {
    if (GetOverlappedResult(device.handle, &device.read_overlapped, &moved, TRUE)) {
      return static_cast<int>(moved);
    }
    return 0;
  }
  const DWORD error = GetLastError();
  query_device(device, counts);
  return map_win32_error(error);
}

void Win32Operations::describe(SerialPort&, PortDumpFields& fields, char*, size_t) {
  fields.port_type = "MS Windows";
}

void Win32Operations::set_break(SerialPort& port, bool on) {
  HANDLE handle = win32_device_of(port).handle;
  if (on) {
    SetCommBreak(handle);
  } else {
    ClearCommBreak(handle);
  }
}

int Win32Operations::modem_status(SerialPort& port) {
  DWORD lines = 0;
  if (!GetCommModemStatus(win32_device_of(port).handle, &lines)) return 0;  // no modem lines here
  return static_cast<int>(lines & (MS_CTS_ON | MS_DSR_ON | MS_RING_ON | MS_RLSD_ON));
}

}  // namespace bt
