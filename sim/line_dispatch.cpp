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
    for (const ReceivedLine& line : input_.feed({buf, static_cast<size_t>(n)})) {
      if (line.overlong) {
        log_.write(now, "in", line.raw + " (over-long, ignored)");
      } else {
        handle_line(line, now);
      }
    }
  }
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
