// SPDX-License-Identifier: MIT
// Line assembly: the bytes the host sends, gathered into the lines a module
// acts on.
#ifndef BRIMTALLY_SIM_LINE_ASSEMBLY_H
#define BRIMTALLY_SIM_LINE_ASSEMBLY_H

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

// Longest input line kept; anything longer up to its CR is ignored, as a
// module's receive buffer would overflow.
constexpr size_t kMaxInputLine = 120;

// One line up to its CR.
struct ReceivedLine {
  std::string text;       // without its line end, after any backspaces
  std::string raw;        // its bytes as received, CR included, for the log
  bool overlong = false;  // longer than kMaxInputLine: to be ignored

  // A "#" line is for the framed protocol; anything else for the console.
  bool framed() const { return !text.empty() && text[0] == '#'; }
};

// Lines end at CR. An LF before the CR belongs to the framed line end ("LF
// CR") and one after a CR to a CR LF line end: both are dropped. Backspace and
// DEL, as typed at a terminal, take back the character before them.
class LineAssembler {
 public:
  // The lines that `bytes`, one read's worth, complete.
  std::vector<ReceivedLine> feed(std::string_view bytes);
  // Forgets a line partly received, as a module does at power-up.
  void reset();

 private:
  std::string line_;
  std::string raw_;
  bool overflow_ = false;
};

}  // namespace sim

#endif  // BRIMTALLY_SIM_LINE_ASSEMBLY_H
