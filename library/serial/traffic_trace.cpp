// SPDX-License-Identifier: MIT
// BRIMTALLY_TRACE: one line per line transfer, for a technician who needs to
// see what went over the wire. Lines look like
//   "81234.567 COM1 out "#46 01 QE\n\r" 0 Success", or with the port's device
//   named by $BRIMTALLY_COM1 "81234.567 COM1=/dev/ttyUSB0 out ...".
#include "serial/traffic_trace.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "serial/port_device.h"

namespace bt {

namespace {

constexpr int kCarriageReturn = 13;
constexpr int kLineFeed = 10;
constexpr int kTerminatorCrLf = -2;

FILE* open_sink() {
  const char* target = std::getenv("BRIMTALLY_TRACE");
  if (target == nullptr || *target == '\0') return nullptr;
  if (std::strcmp(target, "stderr") == 0) return stderr;
  FILE* file = std::fopen(target, "a");
  if (file == nullptr) {
    std::fprintf(stderr, "brimtally: BRIMTALLY_TRACE: cannot open %s: %s; no trace is written\n",
                 target, std::strerror(errno));
  }
  return file;
}

// Read once, on the first transfer: the trace follows the environment the
// process started with (or that a tool set before its first call).
FILE* sink() {
  static FILE* const file = open_sink();
  return file;
}

void append_escaped(std::string& out, const char* bytes, size_t length) {
  out += '"';
  for (size_t i = 0; i < length; ++i) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 32 || c > 126) {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    } else {
      out += static_cast<char>(c);
    }
  }
  out += '"';
}

// COM1 or COM2; with the device the caller or its variable named,
// "COM1=/dev/ttyUSB0", so the trace shows the line the caller chose rather
// than a port it never named.
std::string port_name(const SerialPort& port) {
  if (port.port_index < 0) return "COM?";
  const std::string com = "COM" + std::to_string(port.port_index + 1);
  if (port.device != nullptr) return port.device->named ? com + "=" + port.device->name : com;
  char name[kLongestPortName + 1];
  return port_device_name(port.port_index, name, sizeof name) ? com + "=" + name : com;
}

void emit(const SerialPort& port, const char* direction, const std::string& bytes, int result) {
  FILE* file = sink();
  const double ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch())
          .count();
  const std::string name = port_name(port);
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%.3f ", ms);
  char tail[64];
  std::snprintf(tail, sizeof tail, " %d ", result);
  // One write per line, so lines of several processes sharing a file do not mix.
  const std::string line =
      stamp + name + " " + direction + " " + bytes + tail + port_error_text(result) + "\n";
  std::fwrite(line.data(), 1, line.size(), file);
  std::fflush(file);
}

}  // namespace

bool trace_enabled() {
  return sink() != nullptr;
}

void trace_read(const SerialPort& port, const char* bytes, uint32_t length, int result) {
  if (!trace_enabled()) return;
  std::string shown;
  append_escaped(shown, bytes, length);
  emit(port, "in ", shown, result);
}

void trace_written(const SerialPort& port, const char* text, int terminator, int status) {
  if (!trace_enabled()) return;
  std::string bytes = text != nullptr ? text : "";
  if (terminator >= 0 && terminator <= 255) {
    bytes += static_cast<char>(terminator);
  } else if (terminator == kTerminatorCrLf) {
    bytes += static_cast<char>(kCarriageReturn);
    bytes += static_cast<char>(kLineFeed);
  }
  std::string shown;
  append_escaped(shown, bytes.data(), bytes.size());
  emit(port, "out", shown, status);
}

}  // namespace bt
