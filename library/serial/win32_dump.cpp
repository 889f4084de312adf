// The port dump of the Win32 driver kind.
#include "serial/port_dump.h"
#include "serial/win32_device.h"

namespace bt {

int Win32Operations::dump(SerialPort& port, LinePrinter print_line) {
  PortDevice& device = *port.device;
  const DCB& dcb = device.settings;
  PortDumpFields fields{};
  fields.port_type = "MS Windows";
  fields.baud = dcb.BaudRate;
  fields.byte_size = dcb.ByteSize;
  fields.parity = dcb.Parity;
  fields.stop_bits = dcb.StopBits;
  fields.binary = dcb.fBinary;
  fields.rts_control = dcb.fRtsControl;
  fields.parity_check = dcb.fParity;
  fields.outx_cts_flow = dcb.fOutxCtsFlow;
  fields.outx_dsr_flow = dcb.fOutxDsrFlow;
  fields.dtr_control = dcb.fDtrControl;
  fields.outx = dcb.fOutX;
  fields.inx = dcb.fInX;
  fields.null_discard = dcb.fNull;
  fields.xon_char = dcb.XonChar;
  fields.xoff_char = dcb.XoffChar;
  fields.xon_lim = dcb.XonLim;
  fields.xoff_lim = dcb.XoffLim;
  fields.eof_char = dcb.EofChar;
  fields.evt_char = dcb.EvtChar;
  fields.line_status = line_status(port);
  COMSTAT counts;
  query_device(device, counts);
  const int received = static_cast<int>(counts.cbInQue) + device.pushback_count;
  fields.rx_count = received;
  fields.rx_free = static_cast<int>(device.rx_queue_size) - received;
  fields.tx_count = transmit_waiting(device);
  fields.tx_free = room(device.tx_queue_size, static_cast<DWORD>(fields.tx_count));
  fields.line_errors = device.line_errors;
  fields.modem_status = modem_status(port);
  fields.uart_base = device.uart_base;
  print_port_dump(fields, print_line);
  return 0;
}

}  // namespace bt
