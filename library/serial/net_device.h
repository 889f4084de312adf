// The network driver kind: a serial line behind a serial device server,
// reached over TCP, either through RFC 2217 (telnet with serial-port control)
// or as raw bytes. Sockets are non-blocking; every wait goes through poll.
#ifndef BRIMTALLY_SERIAL_NET_DEVICE_H
#define BRIMTALLY_SERIAL_NET_DEVICE_H

#include <cstdint>
#include <memory>

#include "serial/line_codes.h"
#include "serial/net_byte_queue.h"
#include "serial/net_port_name.h"
#include "serial/rfc2217_session.h"
#include "serial/serial_port.h"

namespace bt {

// The line settings as asked for; the server's confirmed values are in the
// session's state.
struct NetLineSettings {
  uint32_t baud;
  uint8_t byte_size;
  uint8_t parity;     // ParityCode
  uint8_t stop_bits;  // StopBitsCode
  bool outx_cts_flow;
  bool outx_dsr_flow;
  bool outx;
  bool inx;
  bool dtr;
  bool rts;
  bool dtr_handshake;
  bool rts_handshake;
};

// The network kind's device block. A port object's PortDevice pointer holds
// it for ports of driver kind kDriverKindNetwork (see net_device_of).
struct NetDevice {
  NetPortName name;
  int fd = -1;
  bool gone = false;  // the server closed the connection, or it broke
  uint32_t rx_queue_size = 0;
  uint32_t tx_queue_size = 0;
  ByteQueue received;                       // line data not yet read
  ByteQueue outgoing;                       // bytes for the socket (telnet-encoded for RFC 2217)
  std::unique_ptr<Rfc2217Session> session;  // null for raw TCP
  NetLineSettings settings{};
  uint32_t line_errors = 0;

  ~NetDevice();
};

NetDevice& net_device_of(SerialPort& port);

// Moves what the socket has into the received queue (through the session for
// RFC 2217), as far as the queue has room. False once the connection is gone.
bool pull_input(NetDevice& device);
// Hands the outgoing queue to the socket as far as it takes it now. False
// once the connection is gone.
bool push_output(NetDevice& device);
// Waits in poll, at most ms, until the socket can be read (or written, with
// output waiting), then moves bytes both ways. False once the connection is
// gone. Interrupted polls continue to the same deadline.
bool exchange(NetDevice& device, uint32_t ms);
// Exchanges until done(device) or the deadline; false on the deadline or a
// lost connection.
bool exchange_until(NetDevice& device, uint32_t ms, bool (*done)(NetDevice& device));

// Opens the network port that `name` gives into the attached port object.
// Returns 0, kNoMemory, or another negative status, which is also stored;
// on failure nothing is held and port.device stays null.
int open_network_device(SerialPort& port, const char* name);
// The default idle wait for a network port (see platform::default_idle_wait).
int network_idle_wait(SerialPort& port, uint32_t ms, bool none_waiting);
PortOperations& network_operations();

class NetOperations final : public PortOperations {
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

#endif  // BRIMTALLY_SERIAL_NET_DEVICE_H
