#include "line_port.h"

#include <cstdlib>
#include <cstring>

#include "device_check.h"

namespace gateway {

LinePort::LinePort(const LineConfig& line) : line_(line), port_(cli::choose_port(line.port)) {
  // The library reads the variable when it opens port 1.
  if (line.port.find('/') != std::string::npos) setenv("BRIMTALLY_COM1", port_.device.c_str(), 1);
}

LinePort::~LinePort() {
  close();
}

std::string LinePort::open() {
  const int16_t status =
      btPortOpen(static_cast<int16_t>(port_.number), static_cast<uint16_t>(line_.baud));
  if (status == BT_OK) {
    open_ = true;
    return "";
  }
  btPortClose();
  const cli::DeviceProblem problem = cli::diagnose_device(port_.device);
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

int16_t LinePort::query(const cli::Query& query, const std::string& address, ModuleRecord& record) {
  const int chars = cli::exchange_chars(query, address.size());
  prepare(record, address, cli::wire_ms(chars, line_.baud) + cli::kTurnaroundMs);
  return query.call(&record);
}

int16_t LinePort::set(const cli::Setting* setting, const std::vector<int32_t>& values,
                      const std::string& text, const std::string& address, ModuleRecord& record) {
  prepare(record, address, cli::kTurnaroundMs);
  if (setting != nullptr) return setting->send(&record, values);
  text.copy(record.MessageText, BT_MESSAGE_LEN - 1);
  return btPrint(&record);
}

bool LinePort::device_gone() {
  ModuleRecord probe{};
  prepare(probe, "", 0);
  return cli::device_gone(probe);
}

}  // namespace gateway
