// SPDX-License-Identifier: MIT
// The optional trace of every line in and out and of each event.
#ifndef BRIMTALLY_SIM_LINE_LOG_H
#define BRIMTALLY_SIM_LINE_LOG_H

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace sim {

// Optional trace of the line: one text line per line in or out, and per
// event, stamped with CLOCK_MONOTONIC in seconds with microseconds:
//   12345.678901 in  #46 01 QE\n\r
//   12345.679950 out $B0 01 C:02CF\r
//   12345.700000 event fault drop
// Bytes outside printable ASCII are written as \r, \n or \xNN.
class LineLog {
 public:
  LineLog() = default;
  ~LineLog();
  LineLog(const LineLog&) = delete;
  LineLog& operator=(const LineLog&) = delete;

  bool open(const std::string& path, std::string& error);
  void write(int64_t time_ns, std::string_view direction, std::string_view text);
  bool enabled() const { return file_ != nullptr; }

 private:
  std::FILE* file_ = nullptr;
};

std::string escape_bytes(std::string_view text);

}  // namespace sim

#endif  // BRIMTALLY_SIM_LINE_LOG_H
