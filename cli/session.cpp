#include "session.h"

#include <strings.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "device_check.h"

namespace cli {

namespace {

std::string default_device(int number) {
  const std::string variable = "BRIMTALLY_COM" + std::to_string(number);
  const char* chosen = std::getenv(variable.c_str());
  if (chosen != nullptr && *chosen != '\0') return chosen;
  return "/dev/ttyS" + std::to_string(number - 1);
}

std::string reply_text(const ModuleRecord& record) {
  return std::string(record.ReplyText, strnlen(record.ReplyText, BT_REPLY_LEN));
}

}  // namespace

int wire_ms(int chars, unsigned baud) {
  return static_cast<int>(std::ceil(chars * 10'000.0 / baud));
}

PortChoice choose_port(const std::string& value) {
  PortChoice choice;
  if (value.find('/') != std::string::npos) {
    choice.device = value;
    choice.label = value;
    return choice;
  }
  if (value == "1" || strcasecmp(value.c_str(), "COM1") == 0) {
    choice.number = 1;
  } else if (value == "2" || strcasecmp(value.c_str(), "COM2") == 0) {
    choice.number = 2;
  } else {
    throw Failure(kExitUsage, "--port " + value + ": give 1, 2, COM1, COM2 or a device path");
  }
  choice.device = default_device(choice.number);
  choice.label = "COM" + std::to_string(choice.number) + " (" + choice.device + ")";
  return choice;
}

Session::Session(const CommonOptions& options) : port_(choose_port(options.port)) {
  // Both are read by the library at its first use, which comes after this.
  if (options.trace) setenv("BRIMTALLY_TRACE", "stderr", 1);
  if (options.port.find('/') != std::string::npos) {
    setenv("BRIMTALLY_COM1", port_.device.c_str(), 1);
  }
  record_ = btInitDLL(&record_);
  const int16_t opened =
      btPortOpen(static_cast<int16_t>(port_.number), static_cast<uint16_t>(options.baud));
  if (opened == BT_OK) return;
  btPortClose();
  if (opened == BT_BAD_BAUD) {
    throw Failure(kExitUsage,
                  "--baud " + std::to_string(options.baud) + " is not a rate the port takes");
  }
  const DeviceProblem problem = diagnose_device(port_.device);
  if (problem.what.empty()) {
    throw Failure(kExitPortFailed,
                  port_.label +
                      ": could not be opened or set up as a serial port; check it with "
                      "'brimtally ports' and that no other program uses it");
  }
  throw Failure(kExitPortFailed, port_.label + ": " + problem.what + "; " + problem.advice);
}

Session::~Session() {
  btPortClose();
}

void Session::address(const std::string& address, int timeout_ms) {
  std::memset(record_.ModuleAddress, 0, sizeof record_.ModuleAddress);
  address.copy(record_.ModuleAddress, BT_ADDRESS_LEN - 1);
  record_.ReplyTimeout = static_cast<int16_t>(timeout_ms);
}

bool device_gone(const ModuleRecord& record) {
  // The first read may only report a failure the query met (a line too
  // long, noise); the second reads afresh. A gone device fails both.
  ModuleRecord probe = record;
  probe.ReplyTimeout = 0;
  return ex_read_line(&probe) == BT_READ_ERROR && ex_read_line(&probe) == BT_READ_ERROR;
}

Failure Session::gone_failure() const {
  return Failure(kExitPortFailed, port_.label +
                                      ": the device stopped working (unplugged or closed at the "
                                      "far end); reconnect it and run the command again");
}

void Session::check(int16_t status, const std::string& what) {
  if (status == BT_OK) return;
  const std::string module =
      port_.label + ", address " +
      std::string(record_.ModuleAddress, strnlen(record_.ModuleAddress, BT_ADDRESS_LEN)) + ": ";
  auto bad = [&](const std::string& fault, const std::string& advice) {
    return Failure(kExitBadReply, module + fault + " in reply to " + what + " (\"" +
                                      reply_text(record_) + "\"); " + advice);
  };
  switch (status) {
    case BT_NO_REPLY:
      if (device_gone()) throw gone_failure();
      throw Failure(kExitNoReply, module + "no reply to " + what + " within " +
                                      std::to_string(record_.ReplyTimeout) +
                                      " ms; check the address ('brimtally scan'), the wiring and "
                                      "--baud, or raise --timeout");
    case BT_NOT_A_REPLY:
      throw bad("a line that is not a reply",
                "check that every module on the line uses the same baud rate");
    case BT_BAD_CHECKSUM:
      throw bad("a wrong checksum", "noise or a baud-rate mismatch: check the wiring and --baud");
    case BT_WRONG_ADDRESS:
      throw bad("another module's address",
                "two modules may share an address; 'brimtally scan' lists them");
    case BT_MALFORMED:
      throw bad("a malformed field", "the module sent a field this library cannot read");
    case BT_BAD_KEY:
      throw bad("a character that is no key", "the module sent a key this library cannot read");
    case BT_WRONG_VERSION:
      throw Failure(kExitVersion, "the library refused the record version \"" BT_DLL_VERSION
                                  "\"; install the libbrimtally.so.1 that came with this tool");
    case BT_NO_PORT:
      throw Failure(kExitPortFailed, port_.label + ": the port is not open; run the command again");
    default:
      throw Failure(kExitFailure, module + "the library answered " + what + " with status " +
                                      std::to_string(status));
  }
}

}  // namespace cli
