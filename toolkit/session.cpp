// SPDX-License-Identifier: MIT
#include "session.h"

#include <strings.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "device_check.h"
#include "network_name.h"
#include "port_options.h"
#include "status_words.h"

namespace toolkit {

namespace {

constexpr size_t kLongestDevice = 4095;

std::string reply_text(const ModuleRecord& record) {
  return std::string(record.ReplyText, strnlen(record.ReplyText, BT_REPLY_LEN));
}

}  // namespace

std::string port_device(int number) {
  char device[kLongestDevice + 1];
  if (btPortDevice(static_cast<int16_t>(number), device, sizeof device) != BT_OK) return "";
  return device;
}

int wire_ms(int chars, unsigned baud) {
  return static_cast<int>(std::ceil(chars * 10'000.0 / baud));
}

PortChoice choose_port(const std::string& value) {
  PortChoice choice;
  NetworkName name;
  std::string why = port_options_problem(value);
  if (!why.empty()) {
    throw Failure(kExitUsage, "--port " + shown_value(value) + ": " + why);
  }
  const std::string device = device_part(value);
  if (looks_like_network_name(device) && !parse_network_name(device, name, why)) {
    throw Failure(kExitUsage, "--port " + shown_value(value) + ": " + why +
                                  "; give rfc2217://HOST:PORT or tcp://HOST:PORT (HOST a name, "
                                  "an IPv4 address or an IPv6 address in brackets)");
  }
  if (device.find('/') != std::string::npos) {
    // The library keeps a device name of at most this length: a longer one it would cut.
    if (value.size() > kLongestDevice) {
      throw Failure(kExitUsage, "--port " + shown_value(value) + ": a device path is at most " +
                                    std::to_string(kLongestDevice) + " characters");
    }
    choice.named = true;
    choice.device = value;
    choice.label = shown_value(value);  // error lines never carry a terminal's control bytes
    return choice;
  }
  if (device == "1" || strcasecmp(device.c_str(), "COM1") == 0) {
    choice.number = 1;
  } else if (device == "2" || strcasecmp(device.c_str(), "COM2") == 0) {
    choice.number = 2;
  } else {
    throw Failure(kExitUsage, "--port " + shown_value(value) +
                                  ": give 1, 2, COM1, COM2, a device path, rfc2217://HOST:PORT "
                                  "or tcp://HOST:PORT");
  }
  choice.device = port_device(choice.number);
  choice.label = "COM" + std::to_string(choice.number) + " (" + shown_value(choice.device) + ")";
  if (why = port_options_problem(choice.device); !why.empty()) {
    throw Failure(kExitUsage, choice.label + ", from BRIMTALLY_COM" +
                                  std::to_string(choice.number) + ": " + why);
  }
  if (device.size() < value.size()) {
    // "1?echo": COM1's device with these options, opened by name in its place.
    if (choice.device.find('?') != std::string::npos) {
      throw Failure(kExitUsage, "--port " + shown_value(value) + ": " + choice.label +
                                    " has options of its own; give them in one place");
    }
    choice.device += value.substr(device.size());
    choice.named = true;
    choice.label = "COM" + std::to_string(choice.number) + " (" + shown_value(choice.device) + ")";
  }
  return choice;
}

int16_t open_port(const PortChoice& choice, unsigned baud) {
  const auto rate = static_cast<uint16_t>(baud);
  return choice.named ? btPortOpenName(choice.device.c_str(), rate)
                      : btPortOpen(static_cast<int16_t>(choice.number), rate);
}

Session::Session(const CommonOptions& options) : port_(choose_port(options.port)) {
  // Read by the library at its first use, which comes after this.
  if (options.trace) setenv("BRIMTALLY_TRACE", "stderr", 1);
  record_ = btInitDLL(&record_);
  const int16_t opened = open_port(port_, options.baud);
  if (opened == BT_OK) return;
  const int32_t driver = btPortStatus(nullptr, 0);
  btPortClose();
  if (driver == BT_DRIVER_MODE_REFUSED) {
    throw Failure(kExitPortFailed, port_.label +
                                       ": the device has no RS-485 mode of the kernel's (or "
                                       "refused it); drop rs485 from --port, or try rts-toggle");
  }
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
  // A server that drops the connection at once usually serves another client.
  if (looks_like_network_name(port_.device)) {
    const DeviceProblem problem = diagnose_device(port_.device);
    if (!problem.what.empty()) {
      return Failure(kExitPortFailed, port_.label + ": " + problem.what + "; " + problem.advice);
    }
  }
  return Failure(kExitPortFailed, port_.label +
                                      ": the device stopped working (unplugged or closed at the "
                                      "far end); reconnect it and run the command again");
}

void Session::check(int16_t status, const std::string& what) {
  if (status == BT_OK) return;
  if (status == BT_WRONG_VERSION) {
    throw Failure(kExitVersion, "the library refused the record version \"" BT_DLL_VERSION
                                "\"; install the libbrimtally.so.1 that came with this tool");
  }
  if (status == BT_NO_PORT) {
    throw Failure(kExitPortFailed, port_.label + ": the port is not open; run the command again");
  }
  const std::string module =
      port_.label + ", address " +
      std::string(record_.ModuleAddress, strnlen(record_.ModuleAddress, BT_ADDRESS_LEN)) + ": ";
  if (status == BT_TOO_LONG) {
    throw Failure(kExitUsage, module + what + ": " + status_words(status) +
                                  "; give a shorter address or text; nothing sent");
  }
  // Whatever the reply looked like, a port that has gone is the fault to report.
  if (device_gone()) throw gone_failure();
  if (status == BT_NO_REPLY) {
    bool collision = false;
    if (const std::string echo = echo_fault(&collision); !echo.empty()) {
      throw Failure(collision ? kExitBadReply : kExitNoReply, module + what + ": " + echo);
    }
    throw Failure(kExitNoReply, module + "no reply to " + what + " within " +
                                    std::to_string(record_.ReplyTimeout) +
                                    " ms; check the address ('brimtally scan'), the wiring and "
                                    "--baud, or raise --timeout");
  }
  std::string advice;
  switch (status) {
    case BT_NOT_A_REPLY:
      // Our own command back in place of the reply: a two-wire line's echo.
      advice = reply_text(record_).rfind('#', 0) == 0
                   ? "the line returns what is sent (a two-wire line): add ?echo to --port"
                   : "check that every module on the line uses the same baud rate";
      break;
    case BT_BAD_CHECKSUM:
      advice = "noise or a baud-rate mismatch: check the wiring and --baud";
      break;
    case BT_WRONG_ADDRESS:
      advice = "two modules may share an address; 'brimtally scan' lists them";
      break;
    case BT_MALFORMED:
    case BT_BAD_KEY:
      advice = "the module sent what this library cannot read; --trace shows the line";
      break;
    case BT_READ_ERROR:
      advice = "a line longer than 99 characters or a line fault; --trace shows the bytes";
      break;
    default:
      throw Failure(kExitFailure, module + what + ": " + status_words(status));
  }
  throw Failure(kExitBadReply, module + what + ": " + status_words(status) + " (\"" +
                                   reply_text(record_) + "\"); " + advice);
}

}  // namespace toolkit
