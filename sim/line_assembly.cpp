// SPDX-License-Identifier: MIT
// Line assembly, byte by byte.
#include "line_assembly.h"

namespace sim {

std::vector<ReceivedLine> LineAssembler::feed(std::string_view bytes) {
  std::vector<ReceivedLine> lines;
  for (const char c : bytes) {
    raw_ += c;
    if (c == '\r') {
      ReceivedLine& done = lines.emplace_back();
      done.text.swap(line_);
      done.raw.swap(raw_);
      while (!done.text.empty() && done.text.back() == '\n') done.text.pop_back();
      done.overlong = overflow_;
      overflow_ = false;
      continue;
    }
    if (c == '\n' && line_.empty()) continue;
    if (c == '\b' || c == 0x7F) {
      if (!line_.empty()) line_.pop_back();
      continue;
    }
    if (overflow_) continue;
    line_ += c;
    if (line_.size() > kMaxInputLine) {
      overflow_ = true;
      line_.clear();
    }
  }
  // An endless line keeps only its latest bytes for the log.
  if (raw_.size() > 4 * kMaxInputLine) raw_.erase(0, raw_.size() - kMaxInputLine);
  return lines;
}

void LineAssembler::reset() {
  line_.clear();
  raw_.clear();
  overflow_ = false;
}

}  // namespace sim
