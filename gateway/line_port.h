// SPDX-License-Identifier: MIT
// The serial line the gateway owns: the library's one current port, opened
// from the line's configuration, and one transaction at a time on it.
#ifndef BRIMTALLY_GATEWAY_LINE_PORT_H
#define BRIMTALLY_GATEWAY_LINE_PORT_H

#include <cstdint>
#include <string>
#include <vector>

#include "brimtally.h"
#include "gateway_config.h"
#include "queries.h"
#include "session.h"
#include "settings.h"

namespace gateway {

class LinePort {
 public:
  explicit LinePort(const LineConfig& line);
  ~LinePort();
  LinePort(const LinePort&) = delete;
  LinePort& operator=(const LinePort&) = delete;

  const std::string& label() const { return port_.label; }
  bool is_open() const { return open_; }
  // Opens the port; "" on success, else why it failed.
  std::string open();
  void close();

  // One query to the module at `address`; the library's status. `record`
  // holds the fields read.
  int16_t query(const toolkit::Query& query, const std::string& address, ModuleRecord& record);
  // One setting with checked values (`text` for print); the library's status.
  // `record` holds the line sent.
  int16_t set(const toolkit::Setting* setting, const std::vector<int32_t>& values,
              const std::string& text, const std::string& address, ModuleRecord& record);
  // After a failed transaction: true when the device itself has gone (pulled,
  // closed at the far end), as against a silent module.
  bool device_gone();

 private:
  void prepare(ModuleRecord& record, const std::string& address, int timeout_ms) const;

  LineConfig line_;
  toolkit::PortChoice port_;
  bool open_ = false;
};

}  // namespace gateway

#endif  // BRIMTALLY_GATEWAY_LINE_PORT_H
