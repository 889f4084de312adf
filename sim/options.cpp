// SPDX-License-Identifier: MIT
// Command-line parsing and the help text.
#include "options.h"

#include <charconv>
#include <limits>
#include <string_view>

#include "fault_plan.h"
#include "frame_codec.h"

namespace sim {

namespace {

const char kHelp[] = R"(Usage: brimtally-sim [OPTION]...
Plays one or more Brimtally I/O modules on a pseudo-terminal, for tests,
demonstrations and benchmarks without hardware.

The first line on standard output is the device path (e.g. /dev/pts/3),
printed once the device, its link and the control socket are ready. When a
vanished device comes back, its new path is printed as another line.
Open the device like a serial port, e.g.:
  picocom --imap crcrlf --echo /dev/pts/3     (then type QC and Enter)
Lines from the module end in CR alone, as a reader of the line expects, so a
terminal without CR-to-CRLF mapping shows each line over the last one.

Options:
  --address ADDR    add a module at ADDR (0 to 19 printable characters, no
                    blank, '#' or '$'); repeat for several modules on one
                    line. Default: one module at "01". Console commands go
                    to the first module.
  --name NAME       console name of the first module (default BRIM; the
                    others are BRIM<address>)
  --config HEX      configuration word of every module (default 02CF)
  --set FIELD=VALUE set a value in every module at start (see FIELDS)
  --link PATH       keep a symbolic link PATH to the device (replaced when
                    the device comes back, removed at exit)
  --control PATH    control socket (UNIX stream, one command per line)
  --log FILE        append every line in and out, and each event, with its
                    CLOCK_MONOTONIC time in seconds.microseconds; for output
                    the time its last byte was written. Lines look like
                    "5012.345678 in    #46 01 QE\n\r" (direction in, out or
                    event; bytes outside printable ASCII as \r \n \xNN)
  --printer FILE    append the text of each "S=" command to FILE
  --baud N          pace output at N baud (50 to 4000000), 8N1: 10 bit
                    times a character, 1.04 ms at 9600; default: unpaced.
                    Input is taken as fast as it comes
  --seed N          seed of the random faults and drift (default 1)
  --drift N         largest step of the analog inputs and the frequency per
                    100 ms tick (default 2; 0 holds them still)
  --delay MS        hold every reply MS milliseconds (same as --fault delay=MS)
  --drop PCT        drop PCT percent of replies (same as --fault drop=PCT)
  --fault [@ADDR:]KIND[=ARG]  a reply fault from the start (see FAULTS), of
                    the module at ADDR only when given
  --echo            the line returns every byte the host sends, at the
                    line's pace, before any reply (a two-wire RS-485 line
                    whose transceiver listens while it sends)
  --collide PCT     change one byte in PCT percent of the echoes (another
                    talker or noise on the line); needs --echo
  --no-banner       send no banner and prompt at start-up (power cycles and
                    returns still send them)
  --die-with-parent stop as on SIGTERM when the process that started the
                    simulator ends, so a crashed test leaves none behind
  --help            show this text and exit
  --version         show the version and exit

Framed protocol (lines "#cc ADDR CMD [ARG]..." ending LF CR, or CR alone):
  a wrong checksum, an address of no module, an unknown command or bad
  arguments get no answer. Replies are "$cc ADDR" and fields, ending CR,
  with a valid checksum. Input lines over 120 characters are ignored.
  Queries: QA  A0:..A3: (2 digits) A4: A5: (3)
           QM  A4: V: X: N: A5: V: X: N: (V is the reading in 1/100 V for
               0-5 V, X maximum, N minimum; configuration bit 5 clears
               min/max after this query)
           QD  D0: D1:   QI  I:   QO  O:   QB  B:   QC  C: (4 digits)
           QF  F: (4)    QT  T: (6)     QS  S: (8 groups "hh" + blank)
           QE  A0:..A5: D0: D1: I: O: B: F: T: C:, C: last. Not S: (use
               QS) nor V:/X:/N: (use QM): one line holds at most 99
               characters. With a long address the blanks between fields
               are left out.
           Q   queued keys after a blank (at most 18 a reply), or none.
  Settings (no reply): SD a0 a1, SL ch lo hi, SO bits, SB bits (1 = input),
  SP period percent, ST debounce, RM (reset min/max), RT (reset
  totalizer), S=text (to the printer).

Console (plain lines ending CR, to the first module). Every command is
answered with one result line and then the prompt "NAME>"; an empty line
gets the prompt only.
  QC             C:hhhh
  A NAME         rename (at most 32 characters); the banner
                 "Brimtally I/O V1.00" is the result line
  CO hex         configuration word                       -> OK
  SLD c lo hi    default limits of channel c (0-5), hex   -> OK
  SP per high    default PWM period and high time, hex    -> OK
  SBD hex        default port directions (1 = input)      -> OK
  CB n           network baud: 3 12 24 96 19 57           -> OK
  CD hex         communications delay in ms (kept, not applied to replies)
  anything else  Error: ... (never taken for a prompt, banner or C: line)
  The banner and the prompt are also sent at power-up.

Live values: analog inputs and the frequency drift (see --drift), minimum
and maximum follow channels 4 and 5, the totalizer counts the frequency
(24 bits), digital inputs are set with "set di". Lines whose direction bit
is 0 (output) read back the output latch.

FIELDS (for --set and "set"; decimal or 0x hex):
  a0..a3 a4 a5 min4 max4 min5 max5 d0 d1 di do dir debounce config freq
  total pwm_period pwm_percent serial (16 hex digits)

FAULTS (for --fault and "fault"; PCT defaults to 100):
  delay MS        every reply waits MS ms
  drop PCT        a share of replies is not sent
  badsum PCT      ... carries a wrong checksum (framed replies)
  badaddr PCT     ... carries another module's address (framed replies)
  truncate PCT    ... is cut to half its length (then CR)
  noise PCT       ... is preceded by 4-8 random bytes (never CR or LF)
  longline PCT    ... is stretched to 120 characters before its CR
  The kinds below act once, from the control channel only:
  burst N         send N random bytes now (never CR or LF)
  flood [N]       send one line of N characters (default 120) and CR now
  vanish [MS]     close the device (clients see hang-up) and remove the
                  link; come back after MS ms, or at "fault return"
  return          come back: a new device, link updated, path printed,
                  power-up banner
  off [KIND]      end one reply fault, or all

Control commands (one line each, answered "ok ..." or "error ..."):
  power-cycle               reset every module; banner and prompt again
  key [@ADDR] TEXT          queue keypad keys (blank and hex digits)
  set [@ADDR] FIELD VALUE   set a value (first module without @ADDR)
  fault [@ADDR] KIND [ARG]  as FAULTS above; with @ADDR a reply fault (or
                            off [KIND]) of that module's replies only, which
                            takes precedence over the line's
  state                     ok {JSON: device, link, vanished, baud, faults,
                            modules: address name config serial analog_in
                            min max analog_out low_limit high_limit
                            digital_in input_lines digital_out direction
                            debounce pwm_period pwm_percent frequency
                            totalizer keys default_low default_high
                            default_direction default_pwm_period
                            default_pwm_high network_baud comm_delay_ms
                            printed faults (its own reply faults)}
  counts                    ok {JSON: faults injected so far, by kind}
  path                      ok DEVICE-PATH (empty while vanished)
  quit                      stop the simulator
  help                      list the commands

A client's exclusive-use flag (TIOCEXCL) ends when the simulator sees the
client close the device; a pseudo-terminal would otherwise keep it.

Exit status: 0 stopped (SIGINT, SIGTERM or quit), 1 runtime failure,
2 bad command line.
)";

std::optional<long> parse_long(std::string_view text, long lo, long hi) {
  long v = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size() || v < lo || v > hi)
    return std::nullopt;
  return v;
}

bool valid_address(std::string_view a) {
  if (a.size() > 19) return false;
  for (char c : a) {
    if (c <= ' ' || c > '~' || c == '#' || c == '$') return false;
  }
  return true;
}

}  // namespace

const char* help_text() {
  return kHelp;
}

ParseResult parse_options(int argc, char** argv) {
  ParseResult r;
  Options o;
  auto fail = [&r](const std::string& msg) {
    r.exit_code = 2;
    r.message = "brimtally-sim: " + msg + "\nTry 'brimtally-sim --help' for more information.\n";
    return r;
  };
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    std::string value;
    bool has_value = false;
    if (const auto eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
      value = arg.substr(eq + 1);
      arg.resize(eq);
      has_value = true;
    }
    if (arg == "--help" || arg == "-h") {
      r.message = kHelp;
      return r;
    }
    if (arg == "--no-banner" && !has_value) {
      o.banner = false;
      continue;
    }
    if (arg == "--echo" && !has_value) {
      o.echo = true;
      continue;
    }
    if (arg == "--die-with-parent" && !has_value) {
      o.die_with_parent = true;
      continue;
    }
    if (arg == "--version") {
      r.message = "brimtally-sim 1.0.0\n";
      return r;
    }
    static const char* const kTakesValue[] = {"--address", "--name",    "--config", "--set",
                                              "--link",    "--control", "--log",    "--printer",
                                              "--baud",    "--seed",    "--drift",  "--delay",
                                              "--drop",    "--fault",   "--collide"};
    bool known = false;
    for (auto k : kTakesValue) known = known || arg == k;
    if (!known) return fail("unknown option '" + arg + "'");
    if (!has_value) {
      if (i + 1 >= argc) return fail(arg + " needs a value");
      value = argv[++i];
    }
    if (arg == "--address") {
      if (!valid_address(value)) {
        return fail("--address '" + value +
                    "': 0 to 19 printable characters without blanks, '#' or '$'");
      }
      for (const auto& a : o.addresses)
        if (a == value) return fail("--address '" + value + "' given twice");
      o.addresses.push_back(value);
    } else if (arg == "--name") {
      if (value.size() > 32) return fail("--name: at most 32 characters");
      o.name = value;
    } else if (arg == "--config") {
      const auto v = parse_hex(value, 4);
      if (!v) return fail("--config '" + value + "': expected 1 to 4 hexadecimal digits");
      o.config = static_cast<uint16_t>(*v);
    } else if (arg == "--set") {
      const auto eq = value.find('=');
      if (eq == std::string::npos) return fail("--set '" + value + "': expected FIELD=VALUE");
      o.sets.emplace_back(value.substr(0, eq), value.substr(eq + 1));
    } else if (arg == "--link") {
      o.link_path = value;
    } else if (arg == "--control") {
      o.control_path = value;
    } else if (arg == "--log") {
      o.log_path = value;
    } else if (arg == "--printer") {
      o.printer_path = value;
    } else if (arg == "--baud") {
      const auto v = parse_long(value, 50, 4'000'000);
      if (!v) return fail("--baud '" + value + "': expected a rate from 50 to 4000000");
      o.baud = *v;
    } else if (arg == "--seed") {
      const auto v = parse_long(value, 0, std::numeric_limits<long>::max());
      if (!v) return fail("--seed '" + value + "': expected a whole number");
      o.seed = static_cast<uint64_t>(*v);
    } else if (arg == "--collide") {
      const auto v = parse_long(value, 0, 100);
      if (!v) return fail("--collide '" + value + "': expected a percentage from 0 to 100");
      o.collide_percent = static_cast<int>(*v);
    } else if (arg == "--drift") {
      const auto v = parse_long(value, 0, 4095);
      if (!v) return fail("--drift '" + value + "': expected 0 to 4095");
      o.drift = static_cast<int>(*v);
    } else if (arg == "--delay" || arg == "--drop" || arg == "--fault") {
      std::string kind = arg.substr(2);
      std::string farg = value;
      std::string address;
      if (arg == "--fault") {
        // "@ADDR:" first: that module's replies only.
        std::string spec = value;
        if (!spec.empty() && spec[0] == '@') {
          const auto colon = spec.find(':');
          if (colon == std::string::npos || colon == 1) {
            return fail("--fault '" + value + "': give @ADDR:KIND[=ARG]");
          }
          address = spec.substr(1, colon - 1);
          spec.erase(0, colon + 1);
        }
        const auto eq = spec.find('=');
        kind = spec.substr(0, eq);
        farg = eq == std::string::npos ? "" : spec.substr(eq + 1);
      }
      if (!FaultPlan::is_reply_fault(kind)) {
        return fail("--fault '" + kind + "': not a reply fault (see FAULTS in --help)");
      }
      FaultPlan probe(0);
      if (const auto err = probe.configure(kind, farg)) return fail(arg + ": " + *err);
      o.faults.push_back({address, kind, farg});
    }
  }
  if (o.collide_percent > 0 && !o.echo) return fail("--collide needs --echo");
  if (o.addresses.empty()) o.addresses.push_back("01");
  r.options = std::move(o);
  return r;
}

}  // namespace sim
