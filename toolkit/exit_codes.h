// SPDX-License-Identifier: MIT
// The tool's exit codes: a script tells the failures apart by them.
#ifndef BRIMTALLY_TOOLKIT_EXIT_CODES_H
#define BRIMTALLY_TOOLKIT_EXIT_CODES_H

#include <stdexcept>
#include <string>

namespace toolkit {

enum ExitCode : int {
  kExitOk = 0,
  kExitFailure = 1,     // anything else: the output could not be written, ...
  kExitUsage = 2,       // a bad command line; nothing was sent
  kExitNoReply = 3,     // the module did not answer within the time-out
  kExitBadReply = 4,    // a reply came, damaged: checksum, address or format
  kExitVersion = 5,     // the library refused the record's version
  kExitPortFailed = 6,  // the port is missing, busy, not permitted or gone
};

// The exit-code table of --help and the README.
inline constexpr const char* kExitCodeHelp =
    "Exit codes:\n"
    "  0  success\n"
    "  1  other failure (e.g. the output could not be written)\n"
    "  2  usage: unknown command, bad or out-of-range argument (nothing sent)\n"
    "  3  no reply within the time-out\n"
    "  4  bad reply: wrong checksum, another address, malformed field or key\n"
    "  5  version refused by the library\n"
    "  6  port failed: missing, in use, no permission, not a terminal, or gone\n"
    "  130, 143  scan or watch ended by Ctrl-C (SIGINT) or SIGTERM, after the current\n"
    "     transaction, with what it had printed complete\n";

// Ends the command: main prints "brimtally: <message>" on one line and exits
// with the code.
class Failure : public std::runtime_error {
 public:
  Failure(ExitCode code, const std::string& message) : std::runtime_error(message), code_(code) {}
  ExitCode code() const { return code_; }

 private:
  ExitCode code_;
};

}  // namespace toolkit

#endif  // BRIMTALLY_TOOLKIT_EXIT_CODES_H
