// SPDX-License-Identifier: MIT
// The line trace, written one stamped line at a time.
#include "line_log.h"

#include <cerrno>
#include <cstring>

namespace sim {

std::string escape_bytes(std::string_view text) {
  std::string out;
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\\') {
      out += "\\\\";
    } else if (u < 32 || u > 126) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", u);
      out += buf;
    } else {
      out += c;
    }
  }
  return out;
}

LineLog::~LineLog() {
  if (file_) std::fclose(file_);
}

bool LineLog::open(const std::string& path, std::string& error) {
  file_ = std::fopen(path.c_str(), "a");
  if (!file_) {
    error = "--log " + path + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

void LineLog::write(int64_t time_ns, std::string_view direction, std::string_view text) {
  if (!file_) return;
  std::fprintf(file_, "%lld.%06lld %-5.*s %s\n", static_cast<long long>(time_ns / 1'000'000'000),
               static_cast<long long>(time_ns % 1'000'000'000 / 1000),
               static_cast<int>(direction.size()), direction.data(), escape_bytes(text).c_str());
  std::fflush(file_);
}

}  // namespace sim
