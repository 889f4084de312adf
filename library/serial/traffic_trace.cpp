// BRIMTALLY_TRACE: one line per line transfer, for a technician who needs to
// see what went over the wire. Lines look like
//   "81234.567 COM1 out "#46 01 QE\n\r" 0 Success".
#include "serial/traffic_trace.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

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

void emit(const SerialPort& port, const char* direction, const std::string& bytes, int result) {
  FILE* file = sink();
  const double ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch())
          .count();
  char port_name[16];
  if (port.port_index >= 0) {
    std::snprintf(port_name, sizeof port_name, "COM%d", port.port_index + 1);
  } else {
    std::snprintf(port_name, sizeof port_name, "COM?");
  }
  char head[64];
  std::snprintf(head, sizeof head, "%.3f %s %s ", ms, port_name, direction);
  char tail[64];
  std::snprintf(tail, sizeof tail, " %d ", result);
  // One write per line, so lines of several processes sharing a file do not mix.
  const std::string line = head + bytes + tail + port_error_text(result) + "\n";
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
