// SPDX-License-Identifier: MIT
// Lines from the host, each to the framed protocol or the console, and what
// comes of them.
#include <unistd.h>

#include <cstdio>

#include "console.h"
#include "framed_protocol.h"
#include "simulator.h"

namespace sim {

void Simulator::read_input(int64_t now) {
  char buf[512];
  // Bounded, so that a client writing without pause cannot starve the rest.
  for (int reads = 0; reads < 64; ++reads) {
    const ssize_t n = ::read(pty_.fd(), buf, sizeof buf);
    if (n <= 0) return;  // EAGAIN; the line never hangs up while we hold its far side
    if (opt_.echo) echo_input({buf, static_cast<size_t>(n)}, now);
    for (const ReceivedLine& line : input_.feed({buf, static_cast<size_t>(n)})) {
      if (line.overlong) {
        log_.write(now, "in", line.raw + " (over-long, ignored)");
      } else {
        handle_line(line, now);
      }
    }
  }
}

void Simulator::echo_input(std::string bytes, int64_t now) {
  // A collision garbles one byte of what the host sent, anywhere in it.
  const bool asked = collide_next_ > 0;
  if (asked) --collide_next_;
  if (asked || (opt_.collide_percent > 0 &&
                std::uniform_int_distribution<int>(1, 100)(echo_rng_) <= opt_.collide_percent)) {
    const size_t at = std::uniform_int_distribution<size_t>(0, bytes.size() - 1)(echo_rng_);
    bytes[at] = static_cast<char>(bytes[at] ^ 0x20);
    event("echo collides at byte " + std::to_string(at));
  }
  if (!out_.push(std::move(bytes), now)) event("echo dropped: nobody reads the line");
}

void Simulator::handle_line(const ReceivedLine& line, int64_t now) {
  log_.write(now, "in", line.raw);
  if (line.framed()) {
    FramedResult r = handle_framed(line.text, modules_);
    switch (r.outcome) {
      case FramedOutcome::kReply:
        send_line(std::move(r.reply), true, now, r.module->address);
        break;
      case FramedOutcome::kActed:
        if (!r.printed.empty() && printer_) {
          std::fprintf(printer_, "%s\n", r.printed.c_str());
          std::fflush(printer_);
        }
        break;
      case FramedOutcome::kBadChecksum:
        event("ignored: wrong checksum");
        break;
      case FramedOutcome::kOtherAddress:
        event("ignored: not our address");
        break;
      case FramedOutcome::kMalformed:
        event("ignored: unknown command or bad arguments");
        break;
    }
    return;
  }
  ConsoleReply reply = run_console(modules_.front(), line.text);
  for (auto& l : reply.lines) send_line(std::move(l), false, now, modules_.front().address);
}

}  // namespace sim
