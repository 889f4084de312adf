// SPDX-License-Identifier: MIT
// What goes out on the line: replies through the reply faults, and bytes that
// are not replies.
#include <algorithm>

#include "console.h"
#include "simulator.h"

namespace sim {

void Simulator::send_banner(int64_t now) {
  send_raw(banner_line(modules_.front()) + "\r" + prompt_line(modules_.front()) + "\r", now);
}

void Simulator::send_raw(std::string bytes, int64_t now) {
  if (!pty_.is_open()) return;
  if (!out_.push(std::move(bytes), now)) event("output dropped: nobody reads the line");
}

void Simulator::send_line(std::string text, bool framed, int64_t now, const std::string& address) {
  if (!pty_.is_open()) return;
  ShapedReply r = faults_.shape(std::move(text), framed, other_address(), address);
  if (r.dropped) {
    event("fault drop");
    return;
  }
  if (!out_.push(std::move(r.bytes), now + r.delay_ns)) {
    event("output dropped: nobody reads the line");
  }
}

std::string Simulator::other_address() const {
  // Same length as the first module's address, since a reader compares only
  // as many characters as its own address has.
  static constexpr std::string_view kChars = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  std::string a = modules_.front().address.empty() ? "0" : modules_.front().address;
  for (char c : kChars) {
    a.back() = c;
    const bool used = std::any_of(modules_.begin(), modules_.end(),
                                  [&](const Module& m) { return m.address == a; });
    if (!used) return a;
  }
  return a + "X";
}

}  // namespace sim
