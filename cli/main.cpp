// SPDX-License-Identifier: MIT
// brimtally: the library's operations from a shell, for technicians and scripts.
#include <fcntl.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <array>
#include <iostream>

#include "commands.h"
#include "network_name.h"
#include "option_values.h"
#include "standard_streams.h"

namespace {

using namespace cli;
using namespace toolkit;

constexpr const char* kExamples =
    "Examples:\n"
    "  brimtally ports\n"
    "  brimtally get all-io --port /dev/ttyUSB0 --json\n"
    "  brimtally get serial-number --address 05 --csv\n"
    "  brimtally set pwm 1000 50          (period 1000, percent 50)\n"
    "  brimtally set digital-out 0x5A --port COM2\n"
    "  brimtally send QC                  (a console command; prints its reply lines)\n"
    "  brimtally scan --from 00 --to 1F --json\n"
    "  brimtally watch all-io --interval 0.5 --count 10 > log.csv\n"
    "  BRIMTALLY_TRACE=/tmp/line.log brimtally get digital-in\n";

std::string version_text() {
  ModuleRecord record{};
  record = btInitDLL(&record);
  return "brimtally " BRIMTALLY_TOOL_VERSION " (library: " + std::string(record.DllVersion) + ")";
}

// The options every command shares, as typed; read once the command is known.
struct CommonTexts {
  std::string baud = "9600";
  std::string timeout;
  std::string address = "01";
};

CommonOptions read_common(CommonOptions common, const CommonTexts& texts) {
  common.baud = baud_option(texts.baud);
  if (!texts.timeout.empty()) common.timeout_ms = timeout_option(texts.timeout);
  common.address = address_option(texts.address);
  return common;
}

// "a, b or c" from the commands' names, for a refusal that lists them.
std::string names(const std::vector<CLI::App*>& commands) {
  std::string text;
  for (size_t i = 0; i < commands.size(); ++i) {
    if (i > 0) text += i + 1 == commands.size() ? " or " : ", ";
    text += commands[i]->get_name();
  }
  return text;
}

void add_format(CLI::App* command, Format& format, bool csv) {
  auto* json = command->add_flag_callback(
      "--json", [&format] { format = Format::kJson; }, "JSON output");
  if (csv) {
    command
        ->add_flag_callback(
            "--csv", [&format] { format = Format::kCsv; }, "CSV output")
        ->excludes(json);
  }
}

}  // namespace

int main(int argc, char** argv) {
  // Before anything is opened, so the port never lands on descriptor 1; an
  // output nobody can read is a failure, not a silent success.
  const bool closed = standard_streams::guard() & standard_streams::kOutput;
  const int mode = fcntl(STDOUT_FILENO, F_GETFL);  // e.g. 1</dev/null: open, but for reading
  if (closed || (mode >= 0 && (mode & O_ACCMODE) == O_RDONLY)) {
    std::cerr << "brimtally: standard output is " << (closed ? "closed" : "open for reading only")
              << ", so nothing could be shown; nothing was done (redirect it, e.g. >/dev/null)\n";
    return kExitFailure;
  }
  CLI::App app{"Talks to Brimtally I/O modules on a serial line through libbrimtally.",
               "brimtally"};
  app.set_version_flag("--version", version_text, "show the tool's and the library's version");
  app.require_subcommand(1);
  app.fallthrough();

  CommonOptions common;
  CommonTexts texts;
  app.add_option("--port", common.port,
                 "1, 2, COM1, COM2, a device path, rfc2217://HOST:PORT or tcp://HOST:PORT "
                 "(default 1)")
      ->type_name("PORT")
      ->take_last();
  app.add_option("--baud", texts.baud, "line rate: 300 1200 2400 9600 19200 57600 (default 9600)")
      ->type_name("RATE")
      ->take_last();
  app.add_option("--timeout", texts.timeout,
                 "reply time-out in ms, 1-32767 (default: the longest reply's wire time + 30 ms)")
      ->type_name("MS")
      ->take_last();
  app.add_option("--address", texts.address,
                 "module address, up to 19 characters (default 01); one hexadecimal digit "
                 "means 0X, as scan counts")
      ->type_name("AA")
      ->take_last();
  app.add_flag("--trace", common.trace, "log the line traffic on standard error");

  Format format = Format::kTable;
  bool json = false;
  std::function<int(const CommonOptions&)> run;
  // A command's own help shows its usage and one example; the shared
  // options, the other examples and the exit codes are in 'brimtally --help'.
  auto command = [&](CLI::App* parent, const std::string& name, const std::string& help,
                     const std::string& example) {
    CLI::App* sub = parent->add_subcommand(name, help);
    sub->footer((example.empty() ? "" : "Example:\n  " + example + "\n\n") +
                "The options every command takes (--port, --baud, --address, --timeout, "
                "--trace): see 'brimtally --help'.");
    return sub;
  };

  auto* ports = command(&app, "ports", "list the serial ports and who may use them",
                        "brimtally ports --json");
  ports->add_flag("--json", json, "JSON output");
  ports->callback([&] { run = [&](const CommonOptions&) { return run_ports(json); }; });

  std::string query_name;
  auto* get = command(&app, "get", "ask a module one query and print its fields",
                      "brimtally get all-io --port /dev/ttyUSB0 --json");
  get->add_option("QUERY", query_name, "the query")
      ->required()
      ->check(CLI::IsMember(query_names()));
  add_format(get, format, true);
  get->callback([&] {
    run = [&](const CommonOptions& c) { return run_get(c, *find_query(query_name), format); };
  });

  auto* set = command(&app, "set", "send one setting (no reply is read)",
                      "brimtally set pwm 1000 50    (period 1000, percent 50)");
  set->require_subcommand(1);
  std::array<std::string, 3> arguments;  // the most any setting takes
  Limits limits = Limits::kChecked;
  for (const Setting& setting : settings()) {
    auto* sub = command(set, std::string(setting.name), std::string(setting.help), "");
    for (size_t i = 0; i < setting.arguments.size(); ++i) {
      sub->add_option(std::string(setting.arguments[i].name), arguments.at(i),
                      "decimal, or hexadecimal after 0x")
          ->required();
    }
    if (setting.name == "analog-limits") {
      sub->add_flag_callback(
          "--allow-crossed", [&limits] { limits = Limits::kCrossedAllowed; },
          "send a low limit above the high one");
    }
    sub->callback([&] {
      run = [&](const CommonOptions& c) {
        const std::vector<std::string> given(arguments.begin(),
                                             arguments.begin() + setting.arguments.size());
        return run_set(c, setting, given, limits);
      };
    });
  }
  std::vector<std::string> words;
  auto* print = command(set, "print", "send a text to the module's printer",
                        "brimtally set print Batch 12 done");
  print->add_option("TEXT", words, "the text (words are joined by blanks)")->required();
  print->callback([&] {
    run = [&](const CommonOptions& c) { return run_print(c, CLI::detail::join(words, " ")); };
  });

  std::string text, lines = "-1";
  auto* send = command(&app, "send", "send a raw line (CR added) and print the reply lines",
                       "brimtally send QC --lines 1");
  send->add_option("TEXT", text, "the line, e.g. QC or \"A NAME\"")->required();
  send->add_option("--lines", lines, "stop after N reply lines (default: all until the time-out)")
      ->type_name("N");
  send->callback([&] {
    run = [&](const CommonOptions& c) {
      return run_send(c, text, lines == "-1" ? -1 : lines_option(lines));
    };
  });

  ScanRange range;
  auto* scan = command(&app, "scan", "list the addresses that answer",
                       "brimtally scan --from 00 --to 1F --json");
  scan->add_option("--from", range.from, "first address, hexadecimal (default 00)")
      ->type_name("AA");
  scan->add_option("--to", range.to, "last address, hexadecimal (default FF)")->type_name("AA");
  scan->add_flag("--json", json, "JSON output");
  scan->callback([&] { run = [&](const CommonOptions& c) { return run_scan(c, range, json); }; });

  WatchPlan plan;
  std::string interval, count;
  auto* watch = command(&app, "watch", "sample a query repeatedly: CSV or JSON lines",
                        "brimtally watch all-io --interval 0.5 --count 10 > log.csv");
  watch->add_option("QUERY", query_name, "the query")
      ->required()
      ->check(CLI::IsMember(query_names()));
  watch->add_option("--interval", interval, "seconds between samples, 0.001 to 86400")
      ->type_name("S")
      ->required();
  watch->add_option("--count", count, "samples to take (default: until Ctrl-C)")->type_name("N");
  auto* watch_json = watch->add_flag("--json", plan.json, "JSON lines");
  watch
      ->add_flag_callback(
          "--csv", [] {}, "CSV lines with a time column (the default)")
      ->excludes(watch_json);
  watch->callback([&] {
    run = [&](const CommonOptions& c) {
      plan.interval_s = interval_option(interval);
      if (!count.empty()) plan.count = count_option(count);
      return run_watch(c, *find_query(query_name), plan);
    };
  });
  // Set last, so that no command's help inherits it.
  app.footer(std::string(kExamples) + "\n" + kExitCodeHelp +
             "\nBRIMTALLY_COM1 / BRIMTALLY_COM2 name the devices of COM1 and COM2 (default "
             "/dev/ttyS0, /dev/ttyS1).\nBRIMTALLY_TRACE=stderr|FILE logs every line written and "
             "read.");

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    // A missing or unknown command reads better than "a subcommand is
    // required"; every refusal points at the help of the command it is in.
    std::string help = "brimtally";
    for (const CLI::App* at = &app; !at->get_subcommands().empty();) {
      at = at->get_subcommands().front();
      help += " " + at->get_name();
    }
    const bool in_set = set->parsed() && set->get_subcommands().empty();
    const bool chosen = !app.get_subcommands().empty() && !in_set;
    std::vector<std::string> left = set->remaining();
    if (left.empty()) left = app.remaining();
    std::cerr << "brimtally: ";
    if (!chosen && !left.empty()) {
      const std::string word = shown_value(left.front());
      std::cerr << "unknown " << (in_set ? "setting" : "command") << " "
                << (word.front() == '\'' ? word : "'" + word + "'");
    } else if (!chosen) {
      std::cerr << (in_set ? "give a setting: " + names(set->get_subcommands({}))
                           : "give a command: " + names(app.get_subcommands({})));
    } else {
      std::cerr << e.what();
    }
    std::cerr << "; see '" << help << " --help'\n";
    return kExitUsage;
  }
  try {
    const int code = run(read_common(common, texts));
    flush_or_fail(std::cout);
    return code;
  } catch (const Failure& failure) {
    std::cout.flush();
    std::cerr << "brimtally: " << failure.what() << '\n';
    return failure.code();
  } catch (const std::exception& e) {
    std::cerr << "brimtally: " << e.what() << '\n';
    return kExitFailure;
  }
}
