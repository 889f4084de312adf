// SPDX-License-Identifier: MIT
// A port kind that reads from a byte buffer, for driving the line reader with
// any stream. Bytes become readable in stages, as they would arrive on a line;
// the idle hook releases the next stage or aborts the wait.
#ifndef BRIMTALLY_FUZZ_MEMORY_PORT_H
#define BRIMTALLY_FUZZ_MEMORY_PORT_H

#include <cstddef>
#include <string>
#include <vector>

#include "serial/serial_port.h"

namespace bt_fuzz {

class MemoryPort : public bt::PortOperations {
 public:
  // `stream` arrives in stages ending at each of `stage_ends` (ascending);
  // `hook_results` are what the idle hook returns, one per call, after which
  // it aborts. `gone_at_end`: an exhausted stream reports a lost device.
  MemoryPort(std::string stream, std::vector<size_t> stage_ends, std::string hook_results,
             bool gone_at_end);
  ~MemoryPort() override;

  bt::SerialPort& port() { return port_; }
  size_t position() const { return position_; }

  int read_char(bt::SerialPort& port) override;
  int read_block(bt::SerialPort& port, void* buffer, int length) override;
  int rx_count(bt::SerialPort& port) override;
  int unread(bt::SerialPort& port, const uint8_t* bytes, int length) override;

 private:
  static int idle(bt::SerialPort* port);
  int next_idle_result();

  std::string stream_;
  std::vector<size_t> stage_ends_;
  std::string hook_results_;
  bool gone_at_end_;
  size_t position_ = 0;
  size_t available_ = 0;
  size_t next_stage_ = 0;
  size_t next_hook_ = 0;
  bt::PortEnvironment environment_;
  bt::SerialPort port_;
};

}  // namespace bt_fuzz

#endif  // BRIMTALLY_FUZZ_MEMORY_PORT_H
