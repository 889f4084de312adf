// SPDX-License-Identifier: MIT
#include "line_port.h"

#include <cstring>

#include "device_check.h"

namespace gateway {

LinePort::LinePort(const LineConfig& line) : line_(line), port_(toolkit::choose_port(line.port)) {}

LinePort::~LinePort() {
  close();
}

std::string LinePort::open() {
  const int16_t status = toolkit::open_port(port_, line_.baud);
  if (status == BT_OK) {
    open_ = true;
    return "";
  }
  btPortClose();
  const toolkit::DeviceProblem problem = toolkit::diagnose_device(port_.device);
  if (problem.what.empty()) return "it could not be opened or set up as a serial port";
  return problem.what + "; " + problem.advice;
}

void LinePort::close() {
  if (open_) btPortClose();
  open_ = false;
}

void LinePort::prepare(ModuleRecord& record, const std::string& address, int timeout_ms) const {
  record = btInitDLL(&record);
  std::memset(record.ModuleAddress, 0, sizeof record.ModuleAddress);
  address.copy(record.ModuleAddress, BT_ADDRESS_LEN - 1);
  record.ReplyTimeout = static_cast<int16_t>(timeout_ms);
}

int16_t LinePort::query(const toolkit::Query& query, const std::string& address,
                        ModuleRecord& record) {
  const int chars = toolkit::exchange_chars(query, address.size());
  prepare(record, address, toolkit::wire_ms(chars, line_.baud) + toolkit::kTurnaroundMs);
  return query.call(&record);
}

int16_t LinePort::set(const toolkit::Setting* setting, const std::vector<int32_t>& values,
                      const std::string& text, const std::string& address, ModuleRecord& record) {
  prepare(record, address, toolkit::kTurnaroundMs);
  if (setting != nullptr) return setting->send(&record, values);
  text.copy(record.MessageText, BT_MESSAGE_LEN - 1);
  return btPrint(&record);
}

bool LinePort::device_gone() {
  ModuleRecord probe{};
  prepare(probe, "", 0);
  return toolkit::device_gone(probe);
}

}  // namespace gateway
