// SPDX-License-Identifier: MIT
// The operations every driver kind shares, written once over a few steps that
// each kind supplies: opening its device, applying the settings record,
// moving bytes, counting what its queues hold, its modem lines, break, close
// and its wait. A kind is also the operations table of the ports it opens.
#ifndef BRIMTALLY_SERIAL_DEVICE_OPERATIONS_H
#define BRIMTALLY_SERIAL_DEVICE_OPERATIONS_H

#include <cstddef>
#include <cstdint>
#include <new>

#include "serial/port_device.h"
#include "serial/port_dump.h"
#include "serial/serial_port.h"

namespace bt {

class DeviceOperations : public PortOperations {
 public:
  explicit DeviceOperations(int32_t kind) : kind_(kind) {}
  // The kind's code in SerialPort::driver_kind.
  int32_t kind() const { return kind_; }
  // Whether the port name is one this kind opens; by default any.
  virtual bool takes(const char*) const { return true; }
  // Opens the named device into the attached port object: makes the device
  // block (without throwing) and prepares its settings record; port_open then
  // applies the line parameters. Returns 0 with port.device set; kNoMemory; or
  // another negative status, also stored, with nothing held.
  // options: for what a kind must know before it touches the line.
  virtual int open(SerialPort& port, const char* name, const PortOptions& options) = 0;
  // Opens the device (name without its options) and puts the line into the
  // options' mode; on failure nothing is held and the status says why.
  int begin(SerialPort& port, const char* name, const PortOptions& options);
  // Waits for the echo of what was written, if one is due: the port's status
  // afterwards (the echo's fault is stored in it).
  int settle_echo(SerialPort& port);
  // The default idle wait for a port of this kind (see default_idle_wait).
  virtual int idle_wait(SerialPort& port, uint64_t us, bool none_waiting) = 0;

  int read_char(SerialPort& port) final;
  int write_char(SerialPort& port, int byte) final;
  int close(SerialPort& port) final;
  int set_params(SerialPort& port, int32_t baud, int parity, int data_bits, int stop_bits) final;
  int set_xonxoff(SerialPort& port, int on) final;
  int set_rtscts(SerialPort& port, int on) final;
  int set_dtrdsr(SerialPort& port, int on) final;
  int set_dtr(SerialPort& port, int on) final;
  int set_rts(SerialPort& port, int on) final;
  int tx_free(SerialPort& port) final;
  int tx_count(SerialPort& port) final;
  int rx_free(SerialPort& port) final;
  int rx_count(SerialPort& port) final;
  int write_block(SerialPort& port, const void* bytes, int length) final;
  int read_block(SerialPort& port, void* buffer, int length) final;
  int dump(SerialPort& port, LinePrinter print_line) final;
  int send_break(SerialPort& port, int ms) final;
  int line_status(SerialPort& port) final;
  int clear_line_status(SerialPort& port) final;
  int unread(SerialPort& port, const uint8_t* bytes, int length) final;
  // clear_tx and modem_status are the kind's own.

 protected:
  // Applies the whole settings record to the device: 0, or a negative status
  // (never stored here; the caller decides).
  virtual int apply_line_settings(SerialPort& port) = 0;
  // Applies flow control and the DTR and RTS lines; by default the whole record.
  virtual int apply_control_lines(SerialPort& port) { return apply_line_settings(port); }
  // Brings the device's news in before a read (line errors, output moving).
  virtual void refresh(SerialPort&) {}
  // Adds the device's line errors since the last look to the block's.
  virtual void collect_line_errors(SerialPort& port) = 0;
  // Reads at most length bytes from the device without waiting: the count,
  // or a negative status once the device is gone.
  virtual int receive(SerialPort& port, uint8_t* out, int length) = 0;
  // Hands at most length bytes to the device without waiting (the caller has
  // checked the room): 0 or a negative status; queued tells how many went.
  virtual int transmit(SerialPort& port, const uint8_t* bytes, int length, int& queued) = 0;
  // Bytes the device holds received (the pushback not counted), and to send.
  virtual int input_waiting(SerialPort& port) = 0;
  virtual int output_waiting(SerialPort& port) = 0;
  virtual void set_break(SerialPort& port, bool on) = 0;
  // Drops the lines and closes the device; the block is deleted afterwards.
  // 0 or a negative status.
  virtual int release(SerialPort& port) = 0;
  // Puts the device into the options' RS-485 or RTS-toggle mode, when asked:
  // 0, or a negative status. By default a kind has neither.
  virtual int start_line_mode(SerialPort& port);
  // Whether the last byte handed over has left the wire; by default, when the
  // device's queue is empty.
  virtual bool transmitter_empty(SerialPort& port) { return output_waiting(port) == 0; }
  // The kind's own lines of the dump: the port type (text may hold it) and
  // any field it knows better than the settings record.
  virtual void describe(SerialPort& port, PortDumpFields& fields, char* text, size_t size) = 0;

 private:
  int apply_controls_or_fail(SerialPort& port);
  int transmit_toggled(SerialPort& port, const uint8_t* bytes, int length, int& queued);
  // Reads the pending echo from the device: 0, the echo's fault, or the
  // device's failure.
  int take_echo(SerialPort& port);

  int32_t kind_;
};

// The steps every kind supplies, declared once for the kinds' classes.
#define BRIMTALLY_DEVICE_STEPS                                                            \
 public:                                                                                  \
  int open(SerialPort& port, const char* name, const PortOptions& options) override;      \
  int idle_wait(SerialPort& port, uint64_t us, bool none_waiting) override;               \
  int clear_tx(SerialPort& port) override;                                                \
  int modem_status(SerialPort& port) override;                                            \
                                                                                          \
 protected:                                                                               \
  int apply_line_settings(SerialPort& port) override;                                     \
  void collect_line_errors(SerialPort& port) override;                                    \
  int receive(SerialPort& port, uint8_t* out, int length) override;                       \
  int transmit(SerialPort& port, const uint8_t* bytes, int length, int& queued) override; \
  int input_waiting(SerialPort& port) override;                                           \
  int output_waiting(SerialPort& port) override;                                          \
  void set_break(SerialPort& port, bool on) override;                                     \
  int release(SerialPort& port) override;                                                 \
  void describe(SerialPort& port, PortDumpFields& fields, char* text, size_t size) override;

// The one table of an operations class: shared, stateless and never
// destroyed, since ports still open at exit are closed through it.
template <typename Operations>
Operations& operations_table() {
  alignas(Operations) static unsigned char storage[sizeof(Operations)];
  static Operations* table = new (storage) Operations;
  return *table;
}

// The kind that opens the port's device; only for a port with a device.
DeviceOperations& device_kind(SerialPort& port);

// The kind that opens a port of this name, chosen here alone.
DeviceOperations& choose_kind(const char* name);

}  // namespace bt

#endif  // BRIMTALLY_SERIAL_DEVICE_OPERATIONS_H
