// SPDX-License-Identifier: MIT
// The simulator's handling of received lines: framed commands for any of its
// modules and console commands for the first. Every reply must carry a valid
// checksum and the answering module's address and fit a reader's 99
// characters; every console command must end with the prompt, and no other
// console line may pass for a prompt, banner or configuration line.
//
// Input: flags (module count, stamp checksums, read size), the modules'
// addresses, then the bytes the host sends, which the simulator's line
// assembly gathers into lines.
#include <cstdlib>
#include <string>
#include <vector>

#include "console.h"
#include "frame_codec.h"
#include "framed_protocol.h"
#include "fuzz_input.h"
#include "line_assembly.h"
#include "module.h"

namespace {

// Addresses as the command line accepts them: printable, no blank, '#' or '$'.
std::string valid_address(std::string text) {
  for (char& c : text) {
    if (c <= ' ' || c > '~' || c == '#' || c == '$') c = '0';
  }
  return text;
}

void check_framed(std::string line, bool stamp, std::vector<sim::Module>& modules) {
  if (stamp && line.size() >= 3) sim::stamp_checksum(line);
  const sim::FramedResult r = sim::handle_framed(line, modules);
  if (r.outcome != sim::FramedOutcome::kReply) return;
  FUZZ_CHECK(r.module != nullptr);
  FUZZ_CHECK(r.reply.size() <= 99 && r.reply[0] == '$');
  FUZZ_CHECK(r.reply.find_first_of("\r\n") == std::string::npos);
  FUZZ_CHECK(sim::frame_checksum_valid(r.reply));
  FUZZ_CHECK(r.reply.compare(4, r.module->address.size(), r.module->address) == 0);
}

void check_console(const std::string& line, sim::Module& module) {
  const sim::ConsoleReply reply = sim::run_console(module, line);
  FUZZ_CHECK(!reply.lines.empty() && reply.lines.back() == sim::prompt_line(module));
  for (size_t i = 0; i < reply.lines.size(); ++i) {
    const std::string& out = reply.lines[i];
    FUZZ_CHECK(out.find_first_of("\r\n") == std::string::npos);
    if (i + 1 == reply.lines.size()) break;
    // An error line starts with "Error", so it cannot pass for a "C:" line;
    // it must not pass for a prompt either.
    if (out.starts_with("Error")) FUZZ_CHECK(out.back() != '>');
    if (out.starts_with("Brimtally")) FUZZ_CHECK(reply.renamed);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  bt_fuzz::FuzzInput in(data, size);
  const uint8_t flags = in.byte();
  const bool stamp = flags & 1;
  std::vector<sim::Module> modules;
  const int count = 1 + (flags >> 1) % 3;
  for (int i = 0; i < count; ++i) {
    modules.emplace_back(valid_address(in.sized(19)), "BRIM", static_cast<uint16_t>(in.u16()));
  }

  // The rest arrives in reads of 512 bytes, or fewer as the flags' top bits
  // say, and goes through the simulator's own line assembly.
  const std::string stream = in.rest();
  const size_t read_size = size_t{512} >> (flags >> 5);
  sim::LineAssembler assembler;
  for (size_t at = 0; at < stream.size(); at += read_size) {
    for (const sim::ReceivedLine& line : assembler.feed(stream.substr(at, read_size))) {
      FUZZ_CHECK(line.raw.back() == '\r' && line.text.size() <= sim::kMaxInputLine);
      FUZZ_CHECK(line.text.find_first_of("\r\b\x7f") == std::string::npos);
      FUZZ_CHECK(line.text.empty() || line.text.back() != '\n');
      if (line.overlong) continue;
      if (line.framed()) {
        check_framed(line.text, stamp, modules);
      } else {
        check_console(line.text, modules.front());
      }
    }
  }
  return 0;
}
